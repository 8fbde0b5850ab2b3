#pragma once

#include <QAbstractItemModel>
#include <QString>

#include <memory>
#include <vector>

class QTreeView;

namespace pw {
class ConnectionTree;
class TDirNode;
} // namespace pw

namespace pw::gui {

// The connection tree as an item model: one top row per open connection (in
// the order opened), below each the subfolders of its listed folders. Files
// never appear.
//
// The core tree changes only through its own commands (Connect, Select,
// Disconnect, Refresh...), which know nothing of the model; call refresh()
// after each of them. refresh() compares the core tree with the rows the model
// showed before and reports only the rows that came and went, so a view keeps
// its expanded branches and its selection where the folders stayed.
//
// The model keeps the texts it shows, so a view that paints in the middle of a
// command (a message box runs an event loop) never reads a node the command
// has just freed. nodeAt() hands out the core's node and is valid only after
// refresh().
class ConnectionTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit ConnectionTreeModel(ConnectionTree& tree, QObject* parent = nullptr);
    ~ConnectionTreeModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Brings the rows in line with the core tree.
    void refresh();

    // The folder (or connection) of a row, and the row of a folder (invalid
    // when the model does not show it).
    TDirNode* nodeAt(const QModelIndex& index) const;
    QModelIndex indexOf(const TDirNode* node) const;

    // The node image shows an open folder while the row is expanded in the
    // view; the view tells the model through this (see FollowExpansion).
    void setExpanded(const QModelIndex& index, bool expanded);
    bool isExpanded(const QModelIndex& index) const;

    // The index into ServerTypeIcon of a row: the connection's kind + 2 while
    // expanded, + 4 while collapsed.
    int imageIndex(const QModelIndex& index) const;

    struct Row;

private:
    Row* rowOf(const QModelIndex& index) const;
    QModelIndex indexOfRow(const Row* row) const;
    void sync(Row& row, const std::vector<TDirNode*>& nodes, const QModelIndex& parentIndex);

    ConnectionTree& m_tree;
    std::unique_ptr<Row> m_root;
};

// Connects a tree view's expanded/collapsed signals to the model's node images.
void FollowExpansion(QTreeView* view, ConnectionTreeModel* model);

} // namespace pw::gui

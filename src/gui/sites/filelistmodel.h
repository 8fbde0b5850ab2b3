#pragma once

#include <QAbstractTableModel>

class QHeaderView;

namespace pw {
class ConnectionTree;
class TNode;
} // namespace pw

namespace pw::gui {

// The file list as a table model: one row per entry of the folder the
// connection tree shows (ConnectionTree::Shown), in the order of its Children,
// with the columns name, date, attributes and size. Rows are read from the
// core when a view asks for them; the model keeps nothing per row, so a folder
// of 100,000 entries costs the same as a small one.
//
// The shown folder changes only through the core tree's commands; call
// refresh() after each of them (Select, Refresh, Disconnect...). A header
// click goes through columnClick(), which sorts the shown folder with the
// core's sort state and moves the rows.
class FileListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NameColumn = 0, DateColumn = 1, AttributesColumn = 2, SizeColumn = 3, ColumnCount = 4 };

    explicit FileListModel(ConnectionTree& tree, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Puts the core's sort state on `column` with `order` (by one or two
    // header clicks); for callers that set a sort directly.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Shows the core tree's shown folder afresh.
    void refresh();
    // A click on the header of `column`: ascending unless it was ascending.
    void columnClick(int column);

    // The entry of a row (none outside the rows).
    TNode* nodeAt(const QModelIndex& index) const;
    // The column showing a sort arrow (-1 none) and its direction.
    int sortColumn() const;
    Qt::SortOrder sortOrder() const;

    // Column widths and captions as the list shows them.
    static int defaultWidth(int column);

signals:
    // The sort state changed (a header should move its arrow).
    void sortChanged();

private:
    ConnectionTree& m_tree;
    int m_rows = 0;
};

// Makes `header` show the model's sort arrow and pass its clicks to the
// model. The view must not sort by itself (leave sortingEnabled off).
void AttachHeader(QHeaderView* header, FileListModel* model);

} // namespace pw::gui

#pragma once

#include "pageads/adtree.h"
#include "text/pageencoding.h"

#include <QAbstractItemModel>

#include <functional>

namespace pw::gui {

// A page's ad tree as an item model. It listens to the core tree (it becomes
// the tree's listener), so every add, removal, clear and status change reaches
// the view as the matching row signals, with no refresh call. Each node shows
// its text, the image of its status and, as tooltip, the tree's hint (the last
// status text of the selection reaction).
class AdTreeModel : public QAbstractItemModel, private AdTreeListener {
    Q_OBJECT
public:
    // Node texts are bytes of the page, in the encoding `pageEncoding` gives
    // when the model reads them (Shift_JIS without one).
    explicit AdTreeModel(AdTree& tree, QObject* parent = nullptr);
    AdTreeModel(AdTree& tree, std::function<PageEncoding()> pageEncoding, QObject* parent = nullptr);
    ~AdTreeModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    AdNode* nodeAt(const QModelIndex& index) const;
    QModelIndex indexOf(const AdNode* node) const;

    // The image of a status (nsRotation, nsMatched, nsChanged, nsUnlisted).
    static QIcon statusIcon(TAdNodeStatus status);

signals:
    // The core tree marked another node as selected (invalid: none); a view
    // moves its current index there.
    void selectionMarked(const QModelIndex& index);
    // The core asked to expand every node.
    void expandAllRequested();

private:
    void TreeClearing() override;
    void TreeCleared() override;
    void NodeAdding(AdNode* parent, size_t row) override;
    void NodeAdded(AdNode& node) override;
    void NodeStatusChanged(AdNode& node) override;
    void NodeRemoving(AdNode& node) override;
    void NodeRemoved(AdNode* parent, size_t row) override;
    void SelectionChanged(AdNode* selected) override;
    void ExpandAll() override;

    AdTree& m_tree;

    std::function<PageEncoding()> m_pageEncoding;
};

} // namespace pw::gui

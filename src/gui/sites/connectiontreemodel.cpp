#include "gui/sites/connectiontreemodel.h"

#include "gui/common/datatext.h"
#include "gui/sites/sitesicons.h"
#include "sites/connection.h"

#include <QTreeView>

#include <algorithm>

namespace pw::gui {

// What the model shows of one folder: its core node (compared, never read
// between refreshes), its text, and its children in the core's order.
struct ConnectionTreeModel::Row {
    TDirNode* node = nullptr;
    std::string name;
    Row* parent = nullptr;
    QString text;
    bool remote = false;
    bool expanded = false;
    std::vector<std::unique_ptr<Row>> children;

    int rowInParent() const
    {
        const auto& siblings = parent->children;
        auto it
            = std::find_if(siblings.begin(), siblings.end(), [this](const auto& r) { return r.get() == this; });
        return static_cast<int>(it - siblings.begin());
    }
};

ConnectionTreeModel::ConnectionTreeModel(ConnectionTree& tree, QObject* parent)
    : QAbstractItemModel(parent)
    , m_tree(tree)
    , m_root(std::make_unique<Row>())
{
    refresh();
}

ConnectionTreeModel::~ConnectionTreeModel() = default;

ConnectionTreeModel::Row* ConnectionTreeModel::rowOf(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<Row*>(index.internalPointer()) : m_root.get();
}

QModelIndex ConnectionTreeModel::indexOfRow(const Row* row) const
{
    if (!row || row == m_root.get())
        return {};
    return createIndex(row->rowInParent(), 0, const_cast<Row*>(row));
}

QModelIndex ConnectionTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0 || (parent.isValid() && parent.model() != this))
        return {};
    Row* p = rowOf(parent);
    if (row >= static_cast<int>(p->children.size()))
        return {};
    return createIndex(row, 0, p->children[static_cast<size_t>(row)].get());
}

QModelIndex ConnectionTreeModel::parent(const QModelIndex& child) const
{
    if (!child.isValid())
        return {};
    return indexOfRow(rowOf(child)->parent);
}

int ConnectionTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() && parent.column() != 0)
        return 0;
    return static_cast<int>(rowOf(parent)->children.size());
}

int ConnectionTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool ConnectionTreeModel::hasChildren(const QModelIndex& parent) const
{
    return rowCount(parent) > 0;
}

int ConnectionTreeModel::imageIndex(const QModelIndex& index) const
{
    const Row* row = rowOf(index);
    const int kind = row->remote ? skFtp : skLocal;
    return kind + (row->expanded ? 2 : 4);
}

QVariant ConnectionTreeModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const Row* row = rowOf(index);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return row->text;
    case Qt::DecorationRole:
        return ServerTypeIcon(imageIndex(index));
    default:
        return {};
    }
}

Qt::ItemFlags ConnectionTreeModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

TDirNode* ConnectionTreeModel::nodeAt(const QModelIndex& index) const
{
    return index.isValid() ? rowOf(index)->node : nullptr;
}

QModelIndex ConnectionTreeModel::indexOf(const TDirNode* node) const
{
    if (!node)
        return {};
    std::vector<const Row*> pending { m_root.get() };
    while (!pending.empty()) {
        const Row* row = pending.back();
        pending.pop_back();
        for (const auto& child : row->children) {
            if (child->node == node)
                return indexOfRow(child.get());
            pending.push_back(child.get());
        }
    }
    return {};
}

void ConnectionTreeModel::setExpanded(const QModelIndex& index, bool expanded)
{
    if (!index.isValid() || index.model() != this)
        return;
    Row* row = rowOf(index);
    if (row->expanded == expanded)
        return;
    row->expanded = expanded;
    emit dataChanged(index, index, { Qt::DecorationRole });
}

bool ConnectionTreeModel::isExpanded(const QModelIndex& index) const
{
    return index.isValid() && rowOf(index)->expanded;
}

void ConnectionTreeModel::refresh()
{
    std::vector<TDirNode*> connections;
    for (const auto& connection : m_tree.Connections())
        connections.push_back(connection.get());
    sync(*m_root, connections, {});
}

namespace {

// What tells two folders apart between refreshes: the node and its name. A
// node freed by a command and a new one made at the same address are the same
// row only when they also have the same name in the same place.
bool SameFolder(const TDirNode* shown, const std::string& shownName, const TDirNode* node)
{
    return shown == node && shownName == node->Name;
}

} // namespace

// Makes `row`'s children the rows of `nodes`, in that order. Rows whose node
// went are removed, new nodes are inserted; when the nodes that stayed changed
// their order (the core never does this) all rows of this level are replaced.
void ConnectionTreeModel::sync(Row& row, const std::vector<TDirNode*>& nodes, const QModelIndex& parentIndex)
{
    auto& rows = row.children;
    auto present = [&nodes](const Row& r) {
        return std::any_of(
            nodes.begin(), nodes.end(), [&r](const TDirNode* n) { return SameFolder(r.node, r.name, n); });
    };
    // Remove rows whose node is no longer there, in runs from the back.
    for (int i = static_cast<int>(rows.size()) - 1; i >= 0;) {
        if (present(*rows[static_cast<size_t>(i)])) {
            --i;
            continue;
        }
        int first = i;
        while (first > 0 && !present(*rows[static_cast<size_t>(first - 1)]))
            --first;
        beginRemoveRows(parentIndex, first, i);
        rows.erase(rows.begin() + first, rows.begin() + i + 1);
        endRemoveRows();
        i = first - 1;
    }
    // The rows left must come in the same order as their nodes.
    size_t kept = 0;
    for (TDirNode* node : nodes) {
        if (kept < rows.size() && SameFolder(rows[kept]->node, rows[kept]->name, node))
            ++kept;
    }
    if (kept != rows.size() && !rows.empty()) {
        beginRemoveRows(parentIndex, 0, static_cast<int>(rows.size()) - 1);
        rows.clear();
        endRemoveRows();
    }
    // Insert the new nodes in runs.
    size_t i = 0;
    while (i < nodes.size()) {
        if (i < rows.size() && SameFolder(rows[i]->node, rows[i]->name, nodes[i])) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < nodes.size() && !(i < rows.size() && SameFolder(rows[i]->node, rows[i]->name, nodes[end])))
            ++end;
        beginInsertRows(parentIndex, static_cast<int>(i), static_cast<int>(end - 1));
        for (size_t k = i; k < end; ++k) {
            auto fresh = std::make_unique<Row>();
            fresh->node = nodes[k];
            fresh->name = nodes[k]->Name;
            fresh->parent = &row;
            fresh->text = FromData(fresh->name);
            rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(k), std::move(fresh));
        }
        endInsertRows();
        i = end;
    }
    // Texts and the rows below.
    for (size_t k = 0; k < rows.size(); ++k) {
        Row& child = *rows[k];
        TDirNode* node = child.node;
        const bool top = node->Parent == nullptr;
        const QString text
            = top ? FromData(ConnectionNodeText(*static_cast<TConnection*>(node))) : FromData(node->Name);
        const bool remote = node->Connection && node->Connection->IsRemote();
        const QModelIndex childIndex = createIndex(static_cast<int>(k), 0, &child);
        if (text != child.text || remote != child.remote) {
            child.text = text;
            child.remote = remote;
            emit dataChanged(
                childIndex, childIndex, { Qt::DisplayRole, Qt::AccessibleTextRole, Qt::DecorationRole });
        }
        sync(child, node->SubFolders(), childIndex);
    }
}

void FollowExpansion(QTreeView* view, ConnectionTreeModel* model)
{
    QObject::connect(
        view, &QTreeView::expanded, model, [model](const QModelIndex& index) { model->setExpanded(index, true); });
    QObject::connect(view, &QTreeView::collapsed, model,
        [model](const QModelIndex& index) { model->setExpanded(index, false); });
}

} // namespace pw::gui

#include "gui/documents/adtreemodel.h"

#include "gui/common/datatext.h"

#include <QApplication>
#include <QIcon>
#include <QStyle>

#include <array>

namespace pw::gui {

AdTreeModel::AdTreeModel(AdTree& tree, QObject* parent)
    : AdTreeModel(tree, {}, parent)
{
}

AdTreeModel::AdTreeModel(AdTree& tree, std::function<PageEncoding()> pageEncoding, QObject* parent)
    : QAbstractItemModel(parent)
    , m_tree(tree)
    , m_pageEncoding(std::move(pageEncoding))
{
    m_tree.SetListener(this);
}

AdTreeModel::~AdTreeModel()
{
    m_tree.SetListener(nullptr);
}

QIcon AdTreeModel::statusIcon(TAdNodeStatus status)
{
    static const std::array<QIcon, 4> icons {
        QApplication::style()->standardIcon(QStyle::SP_BrowserReload), // rotation
        QApplication::style()->standardIcon(QStyle::SP_DialogApplyButton), // matched
        QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning), // changed
        QApplication::style()->standardIcon(QStyle::SP_MessageBoxQuestion), // unlisted
    };
    const int i = static_cast<int>(status);
    return i >= 0 && i < static_cast<int>(icons.size()) ? icons[static_cast<size_t>(i)] : QIcon();
}

AdNode* AdTreeModel::nodeAt(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<AdNode*>(index.internalPointer()) : nullptr;
}

QModelIndex AdTreeModel::indexOf(const AdNode* node) const
{
    if (!node)
        return {};
    return createIndex(static_cast<int>(node->Row()), 0, const_cast<AdNode*>(node));
}

QModelIndex AdTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0 || (parent.isValid() && parent.model() != this))
        return {};
    const auto& siblings = parent.isValid() ? nodeAt(parent)->Children() : m_tree.TopNodes();
    if (row >= static_cast<int>(siblings.size()))
        return {};
    return createIndex(row, 0, siblings[static_cast<size_t>(row)].get());
}

QModelIndex AdTreeModel::parent(const QModelIndex& child) const
{
    const AdNode* node = nodeAt(child);
    return node ? indexOf(node->Parent()) : QModelIndex();
}

int AdTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() && parent.column() != 0)
        return 0;
    const auto& siblings = parent.isValid() ? nodeAt(parent)->Children() : m_tree.TopNodes();
    return static_cast<int>(siblings.size());
}

int AdTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

QVariant AdTreeModel::data(const QModelIndex& index, int role) const
{
    const AdNode* node = nodeAt(index);
    if (!node)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole: {
        const PageEncoding encoding = m_pageEncoding ? m_pageEncoding() : PageEncoding::ShiftJis;
        return QString::fromStdString(PageTextToUtf8(encoding, node->Text()));
    }
    case Qt::DecorationRole:
        return statusIcon(node->Status());
    case Qt::ToolTipRole:
        return m_tree.Hint().empty() ? QVariant() : QVariant(FromData(m_tree.Hint()));
    default:
        return {};
    }
}

Qt::ItemFlags AdTreeModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void AdTreeModel::TreeClearing()
{
    beginResetModel();
}

void AdTreeModel::TreeCleared()
{
    endResetModel();
}

void AdTreeModel::NodeAdding(AdNode* parent, size_t row)
{
    beginInsertRows(indexOf(parent), static_cast<int>(row), static_cast<int>(row));
}

void AdTreeModel::NodeAdded(AdNode&)
{
    endInsertRows();
}

void AdTreeModel::NodeStatusChanged(AdNode& node)
{
    const QModelIndex index = indexOf(&node);
    emit dataChanged(index, index, { Qt::DecorationRole });
}

void AdTreeModel::NodeRemoving(AdNode& node)
{
    const int row = static_cast<int>(node.Row());
    beginRemoveRows(indexOf(node.Parent()), row, row);
}

void AdTreeModel::NodeRemoved(AdNode*, size_t)
{
    endRemoveRows();
}

void AdTreeModel::SelectionChanged(AdNode* selected)
{
    emit selectionMarked(indexOf(selected));
}

void AdTreeModel::ExpandAll()
{
    emit expandAllRequested();
}

} // namespace pw::gui

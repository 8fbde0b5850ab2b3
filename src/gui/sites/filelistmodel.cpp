#include "gui/sites/filelistmodel.h"

#include "gui/common/datatext.h"
#include "gui/sites/sitesicons.h"
#include "sites/connection.h"
#include "sites/filelist.h"

#include <QHeaderView>

#include <unordered_map>

namespace pw::gui {

FileListModel::FileListModel(ConnectionTree& tree, QObject* parent)
    : QAbstractTableModel(parent)
    , m_tree(tree)
{
    refresh();
}

int FileListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int FileListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

TNode* FileListModel::nodeAt(const QModelIndex& index) const
{
    // The bounds hold even while a core command has emptied the folder and a
    // view paints before refresh() (a message box in the middle of a command).
    const TDirNode* shown = m_tree.Shown();
    if (!index.isValid() || index.row() >= m_rows || !shown || !shown->Children)
        return nullptr;
    const auto& children = *shown->Children;
    if (index.row() >= static_cast<int>(children.size()))
        return nullptr;
    return children[static_cast<size_t>(index.row())].get();
}

QVariant FileListModel::data(const QModelIndex& index, int role) const
{
    const TNode* node = nodeAt(index);
    if (!node)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        switch (index.column()) {
        case NameColumn:
            return FromData(node->Name);
        case DateColumn:
            return FromData(DateText(node->Date));
        case AttributesColumn:
            return FromData(node->Attributes);
        case SizeColumn:
            return FromData(SizeText(*node));
        default:
            return {};
        }
    case Qt::DecorationRole:
        if (index.column() == NameColumn)
            return FileTypeIcon(node->Kind);
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() == SizeColumn)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole: {
        static const QString captions[ColumnCount]
            = { QStringLiteral("名前"), QStringLiteral("日付"), QStringLiteral("属性"), QStringLiteral("サイズ") };
        return captions[section];
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue((section == SizeColumn ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    case Qt::InitialSortOrderRole:
        return Qt::AscendingOrder;
    default:
        return {};
    }
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

int FileListModel::defaultWidth(int column)
{
    static const int widths[ColumnCount] = { 220, 130, 80, 80 };
    return column >= 0 && column < ColumnCount ? widths[column] : 0;
}

void FileListModel::refresh()
{
    beginResetModel();
    const TDirNode* shown = m_tree.Shown();
    m_rows = shown && shown->Children ? static_cast<int>(shown->Children->size()) : 0;
    endResetModel();
}

void FileListModel::columnClick(int column)
{
    TDirNode* shown = m_tree.Shown();
    // Rows only move when the shown folder is the one the rows came from.
    const bool rowsMove = shown && shown->Children && static_cast<int>(shown->Children->size()) == m_rows;
    if (!rowsMove) {
        m_tree.ColumnClick(column);
        emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
        emit sortChanged();
        refresh();
        return;
    }
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<const TNode*> nodes;
    nodes.reserve(static_cast<size_t>(before.size()));
    for (const QModelIndex& index : before)
        nodes.push_back(nodeAt(index));

    m_tree.ColumnClick(column);

    if (!before.isEmpty()) {
        // One pass over the rows, looking each entry up among the few that
        // persistent indexes (the selection, the current row) point to.
        std::unordered_map<const TNode*, int> rowOf;
        rowOf.reserve(nodes.size());
        for (const TNode* node : nodes)
            rowOf.emplace(node, -1);
        const auto& children = *shown->Children;
        for (size_t row = 0; row < children.size(); ++row) {
            auto it = rowOf.find(children[row].get());
            if (it != rowOf.end())
                it->second = static_cast<int>(row);
        }
        QModelIndexList after;
        after.reserve(before.size());
        for (qsizetype i = 0; i < before.size(); ++i) {
            const int row = rowOf[nodes[static_cast<size_t>(i)]];
            after.push_back(row < 0 ? QModelIndex() : index(row, before[i].column()));
        }
        changePersistentIndexList(before, after);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
    emit sortChanged();
}

void FileListModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ColumnCount)
        return;
    const int arrow = order == Qt::AscendingOrder ? kArrowAscending : kArrowDescending;
    for (int clicks = 0; clicks < 2 && m_tree.Sort().ArrowOf(column) != arrow; ++clicks)
        columnClick(column);
}

int FileListModel::sortColumn() const
{
    return m_tree.Sort().Column;
}

Qt::SortOrder FileListModel::sortOrder() const
{
    return m_tree.Sort().Arrow == kArrowDescending ? Qt::DescendingOrder : Qt::AscendingOrder;
}

void AttachHeader(QHeaderView* header, FileListModel* model)
{
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    auto show = [header, model] { header->setSortIndicator(model->sortColumn(), model->sortOrder()); };
    show();
    // Clicks may flip the header's own indicator first; the model's state wins.
    QObject::connect(
        header, &QHeaderView::sectionClicked, model, [model](int section) { model->columnClick(section); });
    QObject::connect(model, &FileListModel::sortChanged, header, show);
    QObject::connect(
        header, &QHeaderView::sortIndicatorChanged, model, [header, model](int section, Qt::SortOrder) {
            if (section != model->sortColumn() || header->sortIndicatorOrder() != model->sortOrder())
                header->setSortIndicator(model->sortColumn(), model->sortOrder());
        });
}

} // namespace pw::gui

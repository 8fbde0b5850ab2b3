#include "gui/banners/bannerlistmodel.h"

#include "gui/common/bannerdrag.h"
#include "gui/common/datatext.h"

#include <QMimeData>

#include <functional>
#include <unordered_map>

namespace pw::gui {

namespace {

struct ColumnInfo {
    const char16_t* caption;
    int width;
    bool number;
};

constexpr ColumnInfo kColumns[kBannerColumnCount] = {
    { u"広告名", 100, false },
    { u"ネットワーク名", 200, false },
    { u"タイプ", 120, false },
    { u"PV", 0, true },
    { u"CT", 0, true },
    { u"率", 60, true },
    { u"総収入", 70, true },
};

} // namespace

BannerListModel::BannerListModel(BannerList& banners, QObject* parent)
    : QAbstractTableModel(parent)
    , m_banners(banners)
{
}

int BannerListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_banners.Rows.size());
}

int BannerListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kBannerColumnCount;
}

QVariant BannerListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return FromData(BannerColumnText(*m_banners.Rows[static_cast<size_t>(index.row())], index.column()));
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(
            Qt::Alignment((kColumns[index.column()].number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    default:
        return {};
    }
}

QVariant BannerListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kBannerColumnCount)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromUtf16(kColumns[section].caption);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(
            Qt::Alignment((kColumns[section].number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    case Qt::InitialSortOrderRole:
        // A column without a mark starts ascending.
        return QVariant::fromValue(Qt::AscendingOrder);
    default:
        return {};
    }
}

Qt::ItemFlags BannerListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
}

QStringList BannerListModel::mimeTypes() const
{
    return { QLatin1String(kBannerMimeType) };
}

QMimeData* BannerListModel::mimeData(const QModelIndexList&) const
{
    // The drag carries no data: every drop target works on the selected banner.
    auto* data = new QMimeData;
    data->setData(QLatin1String(kBannerMimeType), QByteArray());
    return data;
}

int BannerListModel::columnWidth(int column)
{
    return column >= 0 && column < kBannerColumnCount ? kColumns[column].width : 0;
}

void BannerListModel::setSortMark(int column, bool descending)
{
    m_sort.Column = column;
    m_sort.Descending = descending;
    emit sortMarkChanged();
}

void BannerListModel::clickColumn(int column)
{
    if (column < 0 || column >= kBannerColumnCount)
        return;
    reorder([this, column] { ClickBannerColumn(m_banners, m_sort, column); });
    emit sortMarkChanged();
}

void BannerListModel::resort()
{
    if (m_sort.Column < 0)
        return;
    reorder([this] { SortBanners(m_banners, m_sort.Column, m_sort.Descending); });
}

void BannerListModel::reorder(const std::function<void()>& sort)
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<const TAdBanner*> owners;
    owners.reserve(static_cast<size_t>(before.size()));
    for (const QModelIndex& index : before)
        owners.push_back(m_banners.Rows[static_cast<size_t>(index.row())].get());

    sort();

    // Persistent indexes (the view's selection and current row) follow their banner.
    if (!before.isEmpty()) {
        std::unordered_map<const TAdBanner*, int> rowOf;
        rowOf.reserve(m_banners.Rows.size());
        for (size_t row = 0; row < m_banners.Rows.size(); ++row)
            rowOf.emplace(m_banners.Rows[row].get(), static_cast<int>(row));
        QModelIndexList after;
        after.reserve(before.size());
        for (qsizetype i = 0; i < before.size(); ++i)
            after << index(rowOf.at(owners[static_cast<size_t>(i)]), before[i].column());
        changePersistentIndexList(before, after);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void BannerListModel::reload()
{
    beginResetModel();
    endResetModel();
}

void BannerListModel::beginReload()
{
    beginResetModel();
}

void BannerListModel::endReload()
{
    endResetModel();
}

void BannerListModel::beginAppend()
{
    const int row = rowCount();
    beginInsertRows({}, row, row);
}

void BannerListModel::endAppend()
{
    endInsertRows();
}

void BannerListModel::rowChanged(int row)
{
    if (row >= 0 && row < rowCount())
        emit dataChanged(index(row, 0), index(row, kBannerColumnCount - 1));
}

void BannerListModel::beginRemove(int row)
{
    beginRemoveRows({}, row, row);
}

void BannerListModel::endRemove()
{
    endRemoveRows();
}

} // namespace pw::gui

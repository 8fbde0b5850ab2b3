#include "gui/sitewide/siteinventorymodel.h"

#include "gui/common/datatext.h"
#include "gui/documents/adtreemodel.h"

#include <QIcon>

namespace pw::gui {

SiteInventoryModel::SiteInventoryModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void SiteInventoryModel::setScan(SiteScanResult scan)
{
    beginResetModel();
    m_scan = std::move(scan);
    m_rows.clear();
    m_pageNames.clear();
    m_bannerNames.clear();
    m_bannerCounts.clear();
    for (int& count : m_statusCounts)
        count = 0;
    m_pageNames.reserve(m_scan.Pages.size());
    for (size_t p = 0; p < m_scan.Pages.size(); ++p) {
        const SitePage& page = m_scan.Pages[p];
        // Names and paths are program text, as the file list shows them.
        m_pageNames.push_back(FromData(page.Relative.empty() ? page.Path : page.Relative));
        for (size_t n = 0; n < page.Nodes.size(); ++n) {
            const SiteAdNode& node = page.Nodes[n];
            m_rows.push_back({ static_cast<std::uint32_t>(p), static_cast<std::uint32_t>(n) });
            QString banner = FromData(node.Banner);
            ++m_bannerCounts[banner];
            m_bannerNames.push_back(std::move(banner));
            const int s = static_cast<int>(node.Status);
            if (s >= 0 && s < 4)
                ++m_statusCounts[s];
        }
    }
    endResetModel();
}

int SiteInventoryModel::countWithStatus(TAdNodeStatus status) const
{
    const int s = static_cast<int>(status);
    return s >= 0 && s < 4 ? m_statusCounts[s] : 0;
}

int SiteInventoryModel::countRows(int status, const QString& banner) const
{
    int count = 0;
    for (size_t r = 0; r < m_rows.size(); ++r) {
        const Row& row = m_rows[r];
        if ((status < 0 || static_cast<int>(m_scan.Pages[row.Page].Nodes[row.Node].Status) == status)
            && (banner.isEmpty() || m_bannerNames[r] == banner))
            ++count;
    }
    return count;
}

std::map<QString, int> SiteInventoryModel::bannerCounts(int status) const
{
    if (status < 0)
        return m_bannerCounts;
    std::map<QString, int> counts;
    for (size_t r = 0; r < m_rows.size(); ++r) {
        const Row& row = m_rows[r];
        if (static_cast<int>(m_scan.Pages[row.Page].Nodes[row.Node].Status) == status)
            ++counts[m_bannerNames[r]];
    }
    return counts;
}

QString SiteInventoryModel::statusText(TAdNodeStatus status)
{
    switch (status) {
    case nsRotation:
        return QStringLiteral("ローテーション");
    case nsMatched:
        return QStringLiteral("一致");
    case nsChanged:
        return QStringLiteral("変更あり");
    case nsUnlisted:
        return QStringLiteral("未登録");
    }
    return {};
}

int SiteInventoryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int SiteInventoryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SiteInventoryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= ColumnCount)
        return {};
    const Row& row = m_rows[static_cast<size_t>(index.row())];
    const SitePage& page = m_scan.Pages[row.Page];
    const SiteAdNode& node = page.Nodes[row.Node];
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case PageColumn:
            return m_pageNames[row.Page];
        case LineColumn:
            return static_cast<qulonglong>(node.Line);
        case StatusColumn:
            return statusText(node.Status);
        case BannerColumn:
            return m_bannerNames[static_cast<size_t>(index.row())];
        }
        break;
    case Qt::DecorationRole:
        if (index.column() == StatusColumn)
            return AdTreeModel::statusIcon(node.Status);
        break;
    case StatusRole:
        return static_cast<int>(node.Status);
    case PathRole:
        return FromData(page.Path);
    case LineRole:
        return static_cast<qulonglong>(node.Line);
    default:
        break;
    }
    return {};
}

QVariant SiteInventoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case PageColumn:
        return QStringLiteral("ページ");
    case LineColumn:
        return QStringLiteral("行");
    case StatusColumn:
        return QStringLiteral("状態");
    case BannerColumn:
        return QStringLiteral("広告");
    }
    return {};
}

SiteInventoryFilter::SiteInventoryFilter(QObject* parent)
    : QSortFilterProxyModel(parent)
{
}

void SiteInventoryFilter::setStatus(int status)
{
    m_status = status;
    invalidateRowsFilter();
}

void SiteInventoryFilter::setBanner(const QString& banner)
{
    m_banner = banner;
    invalidateRowsFilter();
}

bool SiteInventoryFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    const QAbstractItemModel* model = sourceModel();
    if (m_status >= 0
        && model->index(sourceRow, SiteInventoryModel::StatusColumn, sourceParent)
                .data(SiteInventoryModel::StatusRole)
                .toInt()
            != m_status)
        return false;
    if (!m_banner.isEmpty()
        && model->index(sourceRow, SiteInventoryModel::BannerColumn, sourceParent).data().toString() != m_banner)
        return false;
    return true;
}

} // namespace pw::gui

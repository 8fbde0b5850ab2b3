#include "gui/reports/unmatchedkeys.h"

#include "gui/common/datatext.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLocale>
#include <QStandardItemModel>

namespace pw::gui {

namespace {

QTableWidgetItem* Figure(int64_t value)
{
    auto* item = new QTableWidgetItem(QLocale(QLocale::Japanese, QLocale::Japan).toString(qlonglong(value)));
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

} // namespace

UnmatchedKeysGrid::UnmatchedKeysGrid(QWidget* parent)
    : QTableWidget(parent)
    , m_bannerModel(new QStandardItemModel(this))
{
    setObjectName(QStringLiteral("GridUnmatched"));
    setAccessibleName(QStringLiteral("どの広告にも一致しないキー"));
    setColumnCount(ColumnCount);
    setHorizontalHeaderLabels({ QStringLiteral("キー"), QStringLiteral("行数"), QStringLiteral("PV"),
        QStringLiteral("クリック"), QStringLiteral("収益（円）"), QStringLiteral("割り当てる広告") });
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::NoSelection);
    verticalHeader()->hide();
    horizontalHeader()->setSectionResizeMode(KeyColumn, QHeaderView::Stretch);
    horizontalHeader()->setSectionResizeMode(BannerColumn, QHeaderView::Stretch);
    for (int column : { RowsColumn, PVColumn, ClicksColumn, RevenueColumn })
        horizontalHeader()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
}

void UnmatchedKeysGrid::clearKeys()
{
    setRowCount(0);
    m_keys.clear();
    m_banners = nullptr;
}

QComboBox* UnmatchedKeysGrid::picker(int row) const
{
    return qobject_cast<QComboBox*>(cellWidget(row, BannerColumn));
}

void UnmatchedKeysGrid::showKeys(const std::vector<ReportKeyGroup>& keys, const BannerList* banners)
{
    m_filling = true;
    bool same = banners == m_banners && keys.size() == m_keys.size();
    for (size_t i = 0; same && i < keys.size(); ++i)
        same = keys[i].Key == m_keys[i];
    if (!same) {
        setRowCount(0);
        m_banners = banners;
        m_keys.clear();
        // One list of banners for every picker: a thousand keys do not make
        // a thousand copies of the catalogue.
        m_bannerModel->clear();
        m_bannerModel->appendRow(new QStandardItem(QStringLiteral("（割り当てない）")));
        if (banners)
            for (const auto& banner : banners->Rows)
                m_bannerModel->appendRow(new QStandardItem(FromData(banner->SpaceName)));
        setRowCount(static_cast<int>(keys.size()));
        for (size_t i = 0; i < keys.size(); ++i) {
            const int row = static_cast<int>(i);
            m_keys.push_back(keys[i].Key);
            auto* item = new QTableWidgetItem(FromData(ShortReportKey(keys[i].Key)));
            item->setToolTip(FromData(keys[i].Key));
            setItem(row, KeyColumn, item);
            auto* box = new QComboBox(this);
            box->setObjectName(QStringLiteral("CBAssignBanner"));
            box->setAccessibleName(QStringLiteral("「%1」に割り当てる広告").arg(item->text()));
            box->setModel(m_bannerModel);
            setCellWidget(row, BannerColumn, box);
            connect(box, &QComboBox::currentIndexChanged, this, [this, row](int index) {
                if (m_filling || !m_banners || row >= static_cast<int>(m_keys.size())
                    || index > static_cast<int>(m_banners->Rows.size()))
                    return;
                TAdBanner* banner = index > 0 ? m_banners->Rows[static_cast<size_t>(index - 1)].get() : nullptr;
                emit keyAssigned(m_keys[static_cast<size_t>(row)], banner);
            });
        }
    }
    for (size_t i = 0; i < keys.size(); ++i)
        fillRow(static_cast<int>(i), keys[i]);
    m_filling = false;
}

void UnmatchedKeysGrid::fillRow(int row, const ReportKeyGroup& group)
{
    setItem(row, RowsColumn, Figure(static_cast<int64_t>(group.Rows)));
    setItem(row, PVColumn, Figure(group.PV));
    setItem(row, ClicksColumn, Figure(group.Clicks));
    setItem(row, RevenueColumn, Figure(group.Revenue));
    QComboBox* box = picker(row);
    int index = 0;
    if (group.Assigned && m_banners)
        for (size_t b = 0; b < m_banners->Rows.size(); ++b)
            if (m_banners->Rows[b].get() == group.Assigned)
                index = static_cast<int>(b) + 1;
    if (box)
        box->setCurrentIndex(index);
}

} // namespace pw::gui

#include "gui/reports/fmrevenue.h"

#include "base/files.h"
#include "gui/common/datatext.h"
#include "gui/common/messagebox.h"
#include "gui/reports/reportfolders.h"
#include "reports/reportimport.h"
#include "text/codec.h"
#include "text/pageencoding.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHorizontalBarSeries>
#include <QLabel>
#include <QLineSeries>
#include <QLocale>
#include <QPushButton>
#include <QStackedBarSeries>
#include <QTabWidget>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <set>
#include <tuple>

namespace pw::gui {

namespace {

// Fill patterns that tell the networks apart in grey as well.
constexpr Qt::BrushStyle kPatterns[] = { Qt::SolidPattern, Qt::BDiagPattern, Qt::Dense4Pattern, Qt::CrossPattern,
    Qt::FDiagPattern, Qt::HorPattern, Qt::DiagCrossPattern, Qt::VerPattern, Qt::Dense6Pattern, Qt::Dense2Pattern };

std::string Utf8(std::string_view programText)
{
    return codec::DecodeSjis(programText);
}

QString RateText(float rate)
{
    return QString::number(static_cast<double>(rate), 'f', 2) + QLatin1Char('%');
}

void ShowTipOnHover(QBarSet* set, const QStringList& tips)
{
    QObject::connect(set, &QBarSet::hovered, set, [tips](bool status, int index) {
        if (status && index >= 0 && index < tips.size())
            QToolTip::showText(QCursor::pos(), tips[index]);
        else
            QToolTip::hideText();
    });
}

// A value axis from 0 (or from a round number below a negative value) to a
// round number at or above the largest, its ticks on round steps. Set once
// its series are attached, which would otherwise stretch it to their data.
void SetRoundRange(QValueAxis* axis, double smallest, double largest)
{
    const AxisScale scale = RoundAxisScale(smallest, largest);
    axis->setRange(scale.Min, scale.Max);
    axis->setTickCount(scale.Ticks);
}

QValueAxis* ValueAxis(QChart* chart, const QString& title = {})
{
    auto* axis = new QValueAxis(chart);
    axis->setLabelFormat(QStringLiteral("%.0f"));
    axis->setTitleText(title);
    return axis;
}

// An axis drawn in the colour of the one series it belongs to.
void ColourAxis(QValueAxis* axis, const QColor& colour)
{
    axis->setLabelsColor(colour);
    axis->setTitleBrush(colour);
    axis->setLinePenColor(colour);
}

void ReplaceChart(QChartView* view, QChart* chart)
{
    // Figures with thousands separators ("20,000"), on the axes and the bars.
    chart->setLocale(QLocale(QLocale::Japanese, QLocale::Japan));
    chart->setLocalizeNumbers(true);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->setAlignment(Qt::AlignBottom);
    QChart* old = view->chart();
    view->setChart(chart);
    delete old;
}

} // namespace

TFmRevenue::TFmRevenue(ReportFolders* folders, QWidget* parent)
    : QDialog(parent)
    , m_folders(folders)
{
    setObjectName(QStringLiteral("FmRevenue"));
    setWindowTitle(QStringLiteral("収益"));
    resize(900, 600);
    auto* layout = new QVBoxLayout(this);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("TabRevenue"));
    layout->addWidget(m_tabs, 1);

    m_views[MonthlyTab] = makeView("ChartMonthly");
    m_tabs->addTab(m_views[MonthlyTab], QStringLiteral("月別（ネットワーク別）"));

    auto* top = new QWidget(m_tabs);
    auto* topLayout = new QVBoxLayout(top);
    m_month = new QComboBox(top);
    m_month->setObjectName(QStringLiteral("CBRevenueMonth"));
    m_month->setAccessibleName(QStringLiteral("上位10広告の月"));
    auto* monthRow = new QHBoxLayout;
    monthRow->addWidget(new QLabel(QStringLiteral("月:"), top));
    monthRow->addWidget(m_month);
    monthRow->addStretch();
    topLayout->addLayout(monthRow);
    m_views[TopTab] = makeView("ChartTopBanners");
    topLayout->addWidget(m_views[TopTab], 1);
    m_tabs->addTab(top, QStringLiteral("上位10広告"));

    auto* banner = new QWidget(m_tabs);
    auto* bannerLayout = new QVBoxLayout(banner);
    m_banner = new QComboBox(banner);
    m_banner->setObjectName(QStringLiteral("CBRevenueBanner"));
    m_banner->setAccessibleName(QStringLiteral("推移を見る広告"));
    auto* bannerRow = new QHBoxLayout;
    bannerRow->addWidget(new QLabel(QStringLiteral("広告:"), banner));
    bannerRow->addWidget(m_banner, 1);
    bannerLayout->addLayout(bannerRow);
    m_views[BannerTab] = makeView("ChartBanner");
    bannerLayout->addWidget(m_views[BannerTab], 1);
    m_tabs->addTab(banner, QStringLiteral("広告の推移"));

    auto* buttons = new QHBoxLayout;
    auto* png = new QPushButton(QStringLiteral("PNG で保存(&P)..."), this);
    png->setObjectName(QStringLiteral("BtnSavePng"));
    auto* csv = new QPushButton(QStringLiteral("CSV で保存(&S)..."), this);
    csv->setObjectName(QStringLiteral("BtnSaveCsv"));
    auto* close = new QPushButton(QStringLiteral("閉じる"), this);
    buttons->addWidget(png);
    buttons->addWidget(csv);
    buttons->addStretch();
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(png, &QPushButton::clicked, this, [this] {
        const QString path = chooseSaveFile(
            QStringLiteral("グラフの保存"), QStringLiteral("revenue.png"), QStringLiteral("PNG (*.png)"));
        if (!path.isEmpty() && !savePng(static_cast<Tab>(m_tabs->currentIndex()), path))
            ShowMessage(this, MessageType::Warning, QStringLiteral("%1 を保存できませんでした。").arg(path));
    });
    connect(csv, &QPushButton::clicked, this, [this] {
        const QString path = chooseSaveFile(
            QStringLiteral("データの保存"), QStringLiteral("revenue.csv"), QStringLiteral("CSV (*.csv)"));
        if (path.isEmpty())
            return;
        if (Status saved = saveCsv(static_cast<Tab>(m_tabs->currentIndex()), path); !saved)
            ShowMessage(this, MessageType::Warning, QStringLiteral("%1 を保存できませんでした。").arg(path),
                QMessageBox::Ok, ErrorText(saved));
    });
    connect(m_month, &QComboBox::activated, this,
        [this](int index) { showMonth(m_month->itemData(index).toString().toStdString()); });
    connect(m_banner, &QComboBox::activated, this,
        [this](int index) { showBanner(m_banner->itemData(index).toString().toStdString()); });
}

QString TFmRevenue::chooseSaveFile(const QString& title, const QString& fileName, const QString& filter)
{
    if (m_folders)
        return m_folders->chooseSave(this, title, fileName, filter);
    return QFileDialog::getSaveFileName(this, title, QDir::home().filePath(fileName), filter);
}

QChartView* TFmRevenue::makeView(const char* name)
{
    auto* view = new QChartView(new QChart, this);
    view->setObjectName(QLatin1String(name));
    view->setRenderHint(QPainter::Antialiasing);
    return view;
}

QChart* TFmRevenue::chart(Tab tab) const
{
    return m_views[tab]->chart();
}

Status TFmRevenue::load(const StatsHistory& history, const BannerList& banners)
{
    m_history = &history;
    std::string latest;
    if (Status read = history.LatestPeriod(latest); !read)
        return read;
    if (Status read = history.BannerNames(m_names); !read)
        return read;
    for (const auto& banner : banners.Rows)
        if (!banner->StatsId.empty())
            m_names[banner->StatsId] = banner->SpaceName;
    m_months = latest.empty() ? std::vector<std::string> {} : MonthsEndingWith(latest, 12);
    m_cells.clear();
    if (!m_months.empty())
        if (Status read = history.Cells(m_months.front(), m_months.back(), m_cells); !read)
            return read;
    drawMonthly();

    m_month->clear();
    for (auto it = m_months.rbegin(); it != m_months.rend(); ++it)
        m_month->addItem(QString::fromStdString(*it), QString::fromStdString(*it));
    showMonth(latest);

    // Banners with history: the catalogue's in its order, then the others by name.
    m_banner->clear();
    std::map<std::string, StatsFigures> totals;
    if (Status read = history.BannerTotals(totals); !read)
        return read;
    std::set<std::string> listed;
    for (const auto& banner : banners.Rows)
        if (totals.count(banner->StatsId) && listed.insert(banner->StatsId).second)
            m_banner->addItem(FromData(banner->SpaceName), QString::fromStdString(banner->StatsId));
    std::vector<std::pair<std::string, std::string>> others;
    for (const auto& [id, figures] : totals)
        if (!listed.count(id))
            others.emplace_back(m_names.count(id) ? m_names[id] : id, id);
    std::sort(others.begin(), others.end());
    for (const auto& [name, id] : others)
        m_banner->addItem(FromData(name), QString::fromStdString(id));
    showBanner(m_banner->count() ? m_banner->itemData(0).toString().toStdString() : std::string());
    return Status::Ok();
}

void TFmRevenue::drawMonthly()
{
    const RevenueByNetwork data = MonthlyRevenueByNetwork(m_cells, m_months);
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("月別の収益（円）"));
    auto* series = new QStackedBarSeries(chart);
    auto& csv = m_figures[MonthlyTab];
    csv.clear();
    std::vector<std::string> header = { "ネットワーク" };
    header.insert(header.end(), m_months.begin(), m_months.end());
    csv.push_back(header);
    for (size_t n = 0; n < data.Networks.size(); ++n) {
        auto* set = new QBarSet(FromData(data.Networks[n]), series);
        set->setBrush(QBrush(
            QColor::fromHsv(static_cast<int>(n * 67 % 360), 150, 210), kPatterns[n % std::size(kPatterns)]));
        QStringList tips;
        std::vector<std::string> row = { Utf8(data.Networks[n]) };
        for (size_t m = 0; m < m_months.size(); ++m) {
            const int64_t revenue = data.Revenue[n][m];
            set->append(static_cast<qreal>(revenue));
            tips << QStringLiteral("%1 %2: %3円")
                        .arg(FromData(data.Networks[n]), QString::fromStdString(m_months[m]))
                        .arg(revenue);
            row.push_back(std::to_string(revenue));
        }
        ShowTipOnHover(set, tips);
        series->append(set);
        csv.push_back(std::move(row));
    }
    series->setLabelsVisible(true);
    series->setLabelsFormat(QStringLiteral("@value"));
    // Bars wide enough for their figures ("15,500") across twelve months.
    series->setBarWidth(0.8);
    chart->addSeries(series);
    auto* months = new QBarCategoryAxis(chart);
    for (const auto& month : m_months)
        months->append(QString::fromStdString(month));
    chart->addAxis(months, Qt::AlignBottom);
    series->attachAxis(months);
    // No title: the chart's own says 円, and a title on a vertical axis is
    // turned on its side, where one character of Japanese does not read.
    auto* values = ValueAxis(chart);
    chart->addAxis(values, Qt::AlignLeft);
    series->attachAxis(values);
    // The stacks' heights: what the networks earned and lost in each month.
    double highest = 0;
    double lowest = 0;
    for (size_t m = 0; m < m_months.size(); ++m) {
        double up = 0;
        double down = 0;
        for (size_t n = 0; n < data.Networks.size(); ++n)
            (data.Revenue[n][m] >= 0 ? up : down) += static_cast<double>(data.Revenue[n][m]);
        highest = std::max(highest, up);
        lowest = std::min(lowest, down);
    }
    SetRoundRange(values, lowest, highest);
    ReplaceChart(m_views[MonthlyTab], chart);
}

void TFmRevenue::showMonth(const std::string& period)
{
    const std::vector<TopBanner> top = TopBannersByRevenue(m_cells, period, m_names, 10);
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("%1 の上位10広告（収益・クリック率）").arg(QString::fromStdString(period)));
    auto* series = new QHorizontalBarSeries(chart);
    auto* set = new QBarSet(QStringLiteral("収益（円）"), series);
    set->setBrush(QBrush(QColor(70, 120, 190), Qt::SolidPattern));
    auto* categories = new QBarCategoryAxis(chart);
    QStringList tips;
    auto& csv = m_figures[TopTab];
    csv = { { "広告", "PV", "クリック", "クリック率(%)", "収益" } };
    // The axis lists from the bottom: the highest revenue goes last to stand on top.
    for (auto it = top.rbegin(); it != top.rend(); ++it) {
        set->append(static_cast<qreal>(it->Figures.Revenue));
        categories->append(QStringLiteral("%1 (%2)").arg(FromData(it->Name), RateText(it->ClickRate)));
        tips << QStringLiteral("%1\nPV %2 / クリック %3 / クリック率 %4 / 収益 %5円")
                    .arg(FromData(it->Name))
                    .arg(it->Figures.PV)
                    .arg(it->Figures.Clicks)
                    .arg(RateText(it->ClickRate))
                    .arg(it->Figures.Revenue);
    }
    for (const auto& banner : top)
        csv.push_back(
            { Utf8(banner.Name), std::to_string(banner.Figures.PV), std::to_string(banner.Figures.Clicks),
                RateText(banner.ClickRate).chopped(1).toStdString(), std::to_string(banner.Figures.Revenue) });
    ShowTipOnHover(set, tips);
    series->append(set);
    series->setLabelsVisible(true);
    series->setLabelsFormat(QStringLiteral("@value"));
    chart->addSeries(series);
    chart->addAxis(categories, Qt::AlignLeft);
    series->attachAxis(categories);
    auto* values = ValueAxis(chart, QStringLiteral("円"));
    chart->addAxis(values, Qt::AlignBottom);
    series->attachAxis(values);
    double highest = 0;
    double lowest = 0;
    for (const auto& banner : top) {
        highest = std::max(highest, static_cast<double>(banner.Figures.Revenue));
        lowest = std::min(lowest, static_cast<double>(banner.Figures.Revenue));
    }
    SetRoundRange(values, lowest, highest);
    ReplaceChart(m_views[TopTab], chart);
    const int index = m_month->findData(QString::fromStdString(period));
    if (index >= 0)
        m_month->setCurrentIndex(index);
}

void TFmRevenue::showBanner(const std::string& bannerId)
{
    std::vector<StatsRow> rows;
    if (m_history && !bannerId.empty())
        m_history->BannerHistory(bannerId, rows);
    const auto name = m_names.find(bannerId);
    const QString title = name == m_names.end() ? QString() : FromData(name->second);
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("%1 の推移").arg(title));
    const QColor revenueColour(70, 150, 90);
    const QColor pvColour(50, 100, 190);
    const QColor clicksColour(200, 90, 40);
    auto* bars = new QBarSeries(chart);
    auto* revenue = new QBarSet(QStringLiteral("収益（円）"), bars);
    revenue->setBrush(QBrush(revenueColour, Qt::SolidPattern));
    auto* pv = new QLineSeries(chart);
    pv->setName(QStringLiteral("PV"));
    pv->setPen(QPen(pvColour, 2, Qt::SolidLine));
    auto* clicks = new QLineSeries(chart);
    clicks->setName(QStringLiteral("クリック"));
    clicks->setPen(QPen(clicksColour, 2, Qt::DashLine));
    auto* months = new QBarCategoryAxis(chart);
    auto& csv = m_figures[BannerTab];
    csv = { { "月", "PV", "クリック", "収益" } };
    QStringList tips;
    StatsFigures lowest;
    StatsFigures highest;
    for (size_t i = 0; i < rows.size(); ++i) {
        const auto& row = rows[i];
        revenue->append(static_cast<qreal>(row.Figures.Revenue));
        pv->append(static_cast<qreal>(i), static_cast<qreal>(row.Figures.PV));
        clicks->append(static_cast<qreal>(i), static_cast<qreal>(row.Figures.Clicks));
        months->append(QString::fromStdString(row.Label));
        tips << QStringLiteral("%1: PV %2 / クリック %3 / 収益 %4円")
                    .arg(QString::fromStdString(row.Label))
                    .arg(row.Figures.PV)
                    .arg(row.Figures.Clicks)
                    .arg(row.Figures.Revenue);
        csv.push_back({ row.Label, std::to_string(row.Figures.PV), std::to_string(row.Figures.Clicks),
            std::to_string(row.Figures.Revenue) });
        for (auto [low, high, value] : { std::tuple { &lowest.PV, &highest.PV, row.Figures.PV },
                 { &lowest.Clicks, &highest.Clicks, row.Figures.Clicks },
                 { &lowest.Revenue, &highest.Revenue, row.Figures.Revenue } }) {
            *low = std::min(*low, value);
            *high = std::max(*high, value);
        }
    }
    ShowTipOnHover(revenue, tips);
    bars->append(revenue);
    bars->setLabelsVisible(true);
    bars->setLabelsFormat(QStringLiteral("@value"));
    pv->setPointLabelsVisible(true);
    pv->setPointLabelsFormat(QStringLiteral("@yPoint"));
    pv->setPointLabelsColor(pvColour);
    clicks->setPointLabelsVisible(true);
    clicks->setPointLabelsFormat(QStringLiteral("@yPoint"));
    clicks->setPointLabelsColor(clicksColour);
    chart->addSeries(bars);
    chart->addSeries(pv);
    chart->addSeries(clicks);
    chart->addAxis(months, Qt::AlignBottom);
    bars->attachAxis(months);
    // Revenue, page views and clicks each on an axis of their own, in the
    // colour of their series: clicks are a hundredth of the page views or
    // less, and would lie flat on the page views' axis.
    auto* yen = ValueAxis(chart, QStringLiteral("収益（円）"));
    chart->addAxis(yen, Qt::AlignLeft);
    bars->attachAxis(yen);
    ColourAxis(yen, revenueColour.darker(130));
    auto* pvAxis = ValueAxis(chart, QStringLiteral("PV"));
    chart->addAxis(pvAxis, Qt::AlignRight);
    ColourAxis(pvAxis, pvColour);
    auto* clicksAxis = ValueAxis(chart, QStringLiteral("クリック"));
    chart->addAxis(clicksAxis, Qt::AlignRight);
    ColourAxis(clicksAxis, clicksColour);
    auto* index = new QValueAxis(chart);
    index->setVisible(false);
    chart->addAxis(index, Qt::AlignBottom);
    pv->attachAxis(pvAxis);
    clicks->attachAxis(clicksAxis);
    for (QLineSeries* line : { pv, clicks })
        line->attachAxis(index);
    index->setRange(-0.5, std::max<qreal>(0.5, static_cast<qreal>(rows.size()) - 0.5));
    SetRoundRange(yen, static_cast<double>(lowest.Revenue), static_cast<double>(highest.Revenue));
    SetRoundRange(pvAxis, static_cast<double>(lowest.PV), static_cast<double>(highest.PV));
    SetRoundRange(clicksAxis, static_cast<double>(lowest.Clicks), static_cast<double>(highest.Clicks));
    ReplaceChart(m_views[BannerTab], chart);
    const int found = m_banner->findData(QString::fromStdString(bannerId));
    if (found >= 0)
        m_banner->setCurrentIndex(found);
}

bool TFmRevenue::savePng(Tab tab, const QString& path) const
{
    return m_views[tab]->grab().save(path, "PNG");
}

Status TFmRevenue::saveCsv(Tab tab, const QString& path) const
{
    std::string text(kUtf8ByteOrderMark);
    for (const auto& row : m_figures[tab])
        text += CsvRecordText(row);
    return WriteFileAtomically(path.toStdString(), text);
}

} // namespace pw::gui

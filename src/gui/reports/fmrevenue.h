#pragma once

#include "base/result.h"
#include "catalogue/banner.h"
#include "reports/revenuecharts.h"
#include "reports/statshistory.h"

#include <QDialog>

#include <array>
#include <map>
#include <string>
#include <vector>

class QChart;
class QChartView;
class QComboBox;
class QTabWidget;

namespace pw::gui {

class ReportFolders;

// "収益": the history of imported reports in three charts, one per tab:
// revenue per month stacked by network (the last 12 months with figures), the
// top 10 banners of a month by revenue with their click rate, and one
// banner's page views, clicks and revenue per month. Bars carry their values
// and networks their own fill pattern, so the charts read without colour;
// hovering a bar shows its figures. Value axes run from 0 in round steps with
// thousands separators; the banner chart gives page views and clicks an axis
// each, so that clicks do not lie flat under page views. The chart on show can
// be saved as PNG and its figures as CSV (UTF-8 with a byte order mark).
class TFmRevenue : public QDialog {
    Q_OBJECT
public:
    enum Tab { MonthlyTab = 0, TopTab = 1, BannerTab = 2 };

    // `folders` (when given) says where the file choosers start and keeps
    // the folder chosen.
    explicit TFmRevenue(ReportFolders* folders = nullptr, QWidget* parent = nullptr);

    // Reads the history (kept for the banner chart; it must outlive the
    // window's use of it) and draws every chart.
    Status load(const StatsHistory& history, const BannerList& banners);
    // The top chart for another month, the banner chart for another banner.
    void showMonth(const std::string& period);
    void showBanner(const std::string& bannerId);

    QChart* chart(Tab tab) const;
    QTabWidget* tabs() const { return m_tabs; }
    // The figures of a chart as the CSV file holds them (UTF-8 fields).
    const std::vector<std::vector<std::string>>& figures(Tab tab) const { return m_figures[tab]; }
    bool savePng(Tab tab, const QString& path) const;
    Status saveCsv(Tab tab, const QString& path) const;

private:
    void drawMonthly();
    QChartView* makeView(const char* name);
    QString chooseSaveFile(const QString& title, const QString& fileName, const QString& filter);

    ReportFolders* m_folders;
    const StatsHistory* m_history = nullptr;
    std::vector<StatsCell> m_cells;
    std::vector<std::string> m_months;
    std::map<std::string, std::string> m_names; // banner id to name (program text)
    std::array<std::vector<std::vector<std::string>>, 3> m_figures;

    QTabWidget* m_tabs;
    std::array<QChartView*, 3> m_views {};
    QComboBox* m_month;
    QComboBox* m_banner;
};

} // namespace pw::gui

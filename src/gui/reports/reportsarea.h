#pragma once

#include "gui/reports/reportfolders.h"
#include "reports/statshistory.h"

#include <QObject>
#include <QString>

class QAction;
class QWidget;

namespace pw::gui {

class BannersArea;
class TFmReportImport;
class TFmRevenue;
struct Workspace;

// The reports area: importing the networks' CSV reports into the history
// (menu 広告 and a CSV file dropped on the banner list) and the revenue charts.
// The history file opens on first use.
class ReportsArea : public QObject {
    Q_OBJECT
public:
    struct Widgets {
        QAction* importItem; // MIReportImport
        QAction* revenueItem; // MIRevenue
        QAction* bannerRevenueItem; // MIBannerRevenue: the selected banner's history
    };

    ReportsArea(Workspace& workspace, BannersArea& banners, QWidget* window);
    const Widgets& widgets() const { return m_widgets; }

    // Opens the import dialog on `path` (an empty path asks for a file). OK
    // stores the figures, remembers the mapping for the network and shows the
    // new sums in the banner list. True when an import was stored.
    bool importReport(const QString& path = {});
    void showRevenue();
    // The revenue window on the selected banner's history.
    void showBannerRevenue();

    TFmReportImport* importDialog() const { return m_importDialog; }
    TFmRevenue* revenueWindow() const { return m_revenue; }
    // Where the file choosers of the area start, and their seams.
    ReportFolders& folders() { return m_folders; }

private:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool openHistory();
    // A message in the window's words; the core's own (with the file's path
    // and what the system said) behind the details button.
    void error(const QString& text, const QString& details = {});

    Workspace& m_workspace;
    BannersArea& m_banners;
    QWidget* m_window;
    Widgets m_widgets;
    ReportFolders m_folders;
    StatsHistory m_history;
    std::string m_lastNetwork; // the network of the last import, chosen for the next one
    TFmReportImport* m_importDialog;
    TFmRevenue* m_revenue;
};

} // namespace pw::gui

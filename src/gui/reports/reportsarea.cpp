#include "gui/reports/reportsarea.h"

#include "base/files.h"
#include "catalogue/bannerstore.h"
#include "gui/banners/bannersarea.h"
#include "gui/common/datatext.h"
#include "gui/common/messagebox.h"
#include "gui/reports/fmreportimport.h"
#include "gui/reports/fmrevenue.h"
#include "gui/reports/reportmessages.h"
#include "gui/workspace.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QTabWidget>
#include <QTreeView>
#include <QUrl>

#include <ctime>

namespace pw::gui {

namespace {

// The first local file a drag carries that reads as a CSV report.
QString DroppedReport(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile() && url.toLocalFile().endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive))
            return url.toLocalFile();
    return {};
}

} // namespace

ReportsArea::ReportsArea(Workspace& workspace, BannersArea& banners, QWidget* window)
    : QObject(window)
    , m_workspace(workspace)
    , m_banners(banners)
    , m_window(window)
    , m_folders(workspace.IniListSetup, QString::fromStdString(workspace.SettingsFolder))
{
    m_widgets.importItem = new QAction(QStringLiteral("レポートの取り込み(&I)..."), window);
    m_widgets.importItem->setObjectName(QStringLiteral("MIReportImport"));
    m_widgets.importItem->setStatusTip(
        QStringLiteral("広告代理店のレポート（CSV）から PV・クリック・収益を取り込む"));
    m_widgets.revenueItem = new QAction(QStringLiteral("収益(&V)..."), window);
    m_widgets.revenueItem->setObjectName(QStringLiteral("MIRevenue"));
    m_widgets.revenueItem->setStatusTip(QStringLiteral("取り込んだ収益をグラフで見る"));
    m_widgets.bannerRevenueItem = new QAction(QStringLiteral("選択した広告の推移(&H)..."), window);
    m_widgets.bannerRevenueItem->setObjectName(QStringLiteral("MIBannerRevenue"));
    m_widgets.bannerRevenueItem->setStatusTip(QStringLiteral("選択した広告の PV・クリック・収益を月ごとに見る"));
    m_importDialog = new TFmReportImport(window);
    m_revenue = new TFmRevenue(&m_folders, window);
    m_importDialog->setMappingSource([this](const std::string& network) -> std::optional<ReportMapping> {
        ReportMapping remembered;
        bool found = false;
        if (m_history.IsOpen() && m_history.LoadMapping(network, remembered, found).ok && found)
            return remembered;
        return std::nullopt;
    });
    connect(m_widgets.importItem, &QAction::triggered, this, [this] { importReport(); });
    connect(m_widgets.revenueItem, &QAction::triggered, this, &ReportsArea::showRevenue);
    connect(m_widgets.bannerRevenueItem, &QAction::triggered, this, &ReportsArea::showBannerRevenue);

    QWidget* viewport = m_banners.widgets().list->viewport();
    viewport->setAcceptDrops(true);
    viewport->installEventFilter(this);
}

bool ReportsArea::eventFilter(QObject* watched, QEvent* event)
{
    const auto type = event->type();
    if (type == QEvent::DragEnter || type == QEvent::DragMove) {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (!DroppedReport(drag->mimeData()).isEmpty()) {
            drag->acceptProposedAction();
            return true;
        }
    } else if (type == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        const QString path = DroppedReport(drop->mimeData());
        if (!path.isEmpty()) {
            drop->acceptProposedAction();
            // After the drop returns, so that the dragging program is not held.
            QMetaObject::invokeMethod(
                this, [this, path] { importReport(path); }, Qt::QueuedConnection);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void ReportsArea::error(const QString& text, const QString& details)
{
    ShowMessage(m_window, MessageType::Warning, text, QMessageBox::Ok, details);
}

bool ReportsArea::openHistory()
{
    if (m_history.IsOpen())
        return true;
    StatsOpenReport report;
    if (Status opened = m_history.Open(m_workspace.SettingsFolder, &report); !opened) {
        error(StatsOpenMessage(JoinPath(m_workspace.SettingsFolder, kStatsFile), report), ErrorText(opened));
        return false;
    }
    if (report.Damaged)
        error(DamagedStatsText(m_history.Path(), report), QString::fromStdString(report.Problem));
    return true;
}

bool ReportsArea::importReport(const QString& given)
{
    QString path = given;
    if (path.isEmpty())
        path = m_folders.chooseOpen(
            m_window, QStringLiteral("レポートの取り込み"), QStringLiteral("CSV (*.csv);;すべてのファイル (*)"));
    if (path.isEmpty() || !openHistory())
        return false;
    ReportError problem;
    if (!m_importDialog->setReport(path, m_workspace.Banners, problem)) {
        error(ReportErrorMessage(problem), ReportErrorDetails(problem));
        return false;
    }
    std::vector<std::string> networks;
    for (const auto& network : m_workspace.Networks)
        networks.push_back(network->Name);
    // The network of the last import comes chosen, with its mapping.
    m_importDialog->setNetworks(networks, m_lastNetwork);
    if (m_importDialog->exec() != QDialog::Accepted)
        return false;

    // Computed again: the result points at the catalogue's banners, which
    // must be the ones of now.
    m_importDialog->refresh();
    const ReportImportResult& result = m_importDialog->result();
    if (result.Matched.empty())
        return false;
    BannerList& banners = m_workspace.Banners;
    const std::string& folder = m_workspace.SettingsFolder;
    // The ids go into ads.ini before figures are stored under them: those
    // given now, and those given to banners picked for keys by hand.
    const bool givenIds = AssignStatsIds(banners, result);
    if (givenIds || m_importDialog->gaveStatsIds())
        if (Status saved = SaveBanners(banners, m_workspace.IniListAd, folder); !saved) {
            error(QStringLiteral("広告の一覧（ads.ini）を保存できませんでした。"), ErrorText(saved));
            return false;
        }
    const std::string network = m_importDialog->network();
    m_lastNetwork = network;
    const StatsImportInfo info { QFileInfo(path).fileName().toStdString(), network, std::time(nullptr) };
    std::map<std::string, StatsFigures> totals;
    std::set<std::string> touched;
    Status stored = m_history.StoreImport(result, info, &touched);
    if (stored)
        stored = m_history.SaveMapping(network, m_importDialog->mapping());
    if (stored)
        stored = m_history.BannerTotals(totals);
    if (!stored) {
        error(QStringLiteral("取り込んだ数字を収益の履歴（%1）に保存できませんでした。")
                  .arg(QString::fromStdString(m_history.Path())),
            ErrorText(stored));
        return false;
    }
    ApplyStatsTotals(banners, totals, &touched);
    if (Status saved = SaveBanners(banners, m_workspace.IniListAd, folder); !saved) {
        error(QStringLiteral("広告の一覧（ads.ini）を保存できませんでした。"), ErrorText(saved));
        return false;
    }
    m_banners.reloadBanners();
    if (m_revenue->isVisible())
        m_revenue->load(m_history, banners);
    return true;
}

void ReportsArea::showRevenue()
{
    if (!openHistory())
        return;
    if (Status loaded = m_revenue->load(m_history, m_workspace.Banners); !loaded) {
        error(QStringLiteral("収益の履歴（%1）を読めませんでした。").arg(QString::fromStdString(m_history.Path())),
            QString::fromStdString(loaded.error));
        return;
    }
    m_revenue->show();
    m_revenue->raise();
}

void ReportsArea::showBannerRevenue()
{
    const TAdBanner* banner = m_workspace.Banners.SelectedBanner();
    showRevenue();
    if (!m_revenue->isVisible())
        return;
    m_revenue->tabs()->setCurrentIndex(TFmRevenue::BannerTab);
    if (banner)
        m_revenue->showBanner(banner->StatsId);
}

} // namespace pw::gui

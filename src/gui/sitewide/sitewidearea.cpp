#include "gui/sitewide/sitewidearea.h"

#include "gui/common/framewidgets.h"
#include "gui/common/messagebox.h"
#include "gui/common/opendocuments.h"
#include "gui/sites/sitesarea.h"
#include "gui/sites/sitesicons.h"
#include "gui/sitewide/fmsitewide.h"
#include "gui/workspace.h"
#include "sites/sitewidesettings.h"

#include <QToolButton>

namespace pw::gui {

namespace {

bool NeedsTrust(const TSetup& setup)
{
    if (setup.Kind != skFtp)
        return false;
    return (setup.Protocol == SiteProtocol::Sftp && setup.TrustedHostKey.empty())
        || (setup.Protocol == SiteProtocol::Ftps && setup.TrustedCertificate.empty());
}

// A copy of the catalogue for a worker: the window may edit its own meanwhile.
BannerList CopyCatalogue(const BannerList& banners)
{
    BannerList copy;
    copy.Rows.reserve(banners.Rows.size());
    for (const auto& row : banners.Rows) {
        auto banner = std::make_unique<TAdBanner>(*row);
        // Rating needs no network, and the window's list of them may change.
        banner->Network = nullptr;
        copy.Rows.push_back(std::move(banner));
    }
    return copy;
}

} // namespace

SiteWideArea::SiteWideArea(
    Workspace& workspace, SitesArea& sites, OpenDocuments& documents, FtpClientFactory clients, QWidget* window)
    : QObject(window)
    , m_workspace(workspace)
    , m_sites(sites)
    , m_button(MakeCommandButton(Command::TBSiteWide, QStringLiteral("サイト全体の広告を一覧・更新する")))
{
    // The open folder with the network mark of the site selector: a whole site.
    m_button->setIcon(ServerTypeIcon(3));
    SiteWideSources sources;
    sources.Clients = std::move(clients);
    sources.SettingsFolder = workspace.SettingsFolder;
    sources.Catalogue = [this] { return CopyCatalogue(m_workspace.Banners); };
    sources.OpenPages = [&documents](const std::string& setupName) { return documents.openPagePaths(setupName); };
    sources.RunsToKeep = [this] { return StoredRunsToKeep(m_workspace.IniListSetup); };
    sources.SetRunsToKeep = [this](size_t keep) { StoreRunsToKeep(m_workspace.IniListSetup, keep); };
    sources.Jobs
        = [this](const std::string& setupName) { return StoredSiteJobs(m_workspace.IniListSetup, setupName); };
    sources.SetJobs = [this](const std::string& setupName, int jobs) {
        StoreSiteJobs(m_workspace.IniListSetup, setupName, jobs);
    };
    m_dialog = new FmSiteWide(std::move(sources), window);
    connect(m_button, &QToolButton::clicked, this, &SiteWideArea::openDialog);
    connect(m_dialog, &FmSiteWide::pageRequested, this, &SiteWideArea::pageRequested);
}

void SiteWideArea::openDialog()
{
    // Busy, the dialog keeps its setup and only comes forward.
    if (m_dialog->busy()) {
        m_dialog->showFor(nullptr);
        return;
    }
    std::unique_ptr<TSetup> setup = m_sites.selectedSetupWithPassword();
    // A server whose certificate or host key is not trusted yet is asked
    // about as 接続 asks, and the answer is kept with the setup.
    if (setup && NeedsTrust(*setup)) {
        m_sites.connectSite();
        setup = m_sites.selectedSetupWithPassword();
    }
    if (setup)
        m_dialog->showFor(std::move(setup));
}

void SiteWideArea::catalogueChanged()
{
    m_dialog->catalogueChanged();
}

void SiteWideArea::pageOpened()
{
    if (m_dialog->busy())
        m_dialog->refreshOpenPages();
}

bool SiteWideArea::mayQuit()
{
    if (!m_dialog->busy())
        return true;
    if (ShowMessage(m_dialog, MessageType::Warning,
            QStringLiteral("サイト全体の更新を実行中です。中止して終了しますか？"),
            QMessageBox::Yes | QMessageBox::No)
        != QMessageBox::Yes)
        return false;
    m_dialog->stopAndWait();
    return true;
}

} // namespace pw::gui

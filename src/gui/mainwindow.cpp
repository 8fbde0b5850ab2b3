#include "gui/mainwindow.h"

#include "base/files.h"
#include "gui/banners/bannersarea.h"
#include "gui/common/actionlist.h"
#include "gui/common/browserwindow.h"
#include "gui/common/datatext.h"
#include "gui/common/guifeedback.h"
#include "gui/common/messagebox.h"
#include "gui/common/popupmenu.h"
#include "gui/common/transferrunner.h"
#include "gui/common/webpane.h"
#include "gui/documents/documentsarea.h"
#include "gui/documents/documenttab.h"
#include "gui/documents/pageadcommands.h"
#include "gui/networks/networksarea.h"
#include "gui/options/optionsarea.h"
#include "gui/reports/reportsarea.h"
#include "gui/sites/sitesarea.h"
#include "gui/sitewide/sitewidearea.h"
#include "gui/workspace.h"
#include "icons/commandicons.h"
#include "pageads/adcommands.h"
#include "settings/settingsfile.h"
#include "shell/commandstate.h"
#include "sites/documents.h"
#include "sites/recovery.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

// The bundled icons live in the window library; a static library's
// resources are registered by hand.
static void RegisterIcons()
{
    Q_INIT_RESOURCE(icons);
}

namespace pw::gui {

namespace {

const QString kWindowTitle = QStringLiteral("Pagewick(V1.1)");

// Every command's icon: the desktop theme's when it has one, else our own.
void ApplyCommandIcons(QWidget* window, ActionList* actions)
{
    for (const icons::CommandIcon& entry : icons::kCommandIcons) {
        const QString name = QLatin1String(entry.objectName);
        const QIcon icon = QIcon::fromTheme(QLatin1String(entry.themeName), QIcon(QLatin1String(entry.resource)));
        if (QAction* action = actions->actionNamed(name))
            action->setIcon(icon);
        else if (auto* button = window->findChild<QToolButton*>(name))
            button->setIcon(icon);
        else if (auto* item = window->findChild<QAction*>(name))
            item->setIcon(icon);
    }
    // An on/off item shows its tick in menus, not an image in its place.
    for (QAction* action : window->findChildren<QAction*>())
        if (action->isCheckable())
            action->setIconVisibleInMenu(false);
}

} // namespace

TMainForm::TMainForm(const QString& settingsFolder, const QString& scratchFolder, FtpClientFactory ftpClients,
    std::function<bool()> onlineProbe, QWidget* parent)
    : QMainWindow(parent)
    , m_settingsFolder(settingsFolder)
    , m_scratchFolder(scratchFolder)
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(kWindowTitle);
    resize(789, 600);
    m_actions = new ActionList(this);
    addActions(m_actions->actions());
    RegisterIcons();
    setWindowIcon(QIcon::fromTheme(
        QLatin1String(icons::kProgramIconTheme), QIcon(QLatin1String(icons::kProgramIconResource))));
    buildFrame();
    buildMenus();

    m_runner = new TransferRunner(this, this);
    m_feedback = new GuiFeedback(this, statusBar(), m_runner, this);
    // The whole-site dialog runs its connections on its own worker, without the runner.
    FtpClientFactory ownClients = ftpClients;
    m_workspace = std::make_unique<Workspace>(
        settingsFolder.toStdString(), m_runner->wrap(std::move(ftpClients)), *m_feedback);
    buildAreas(std::move(onlineProbe), std::move(ownClients));
    placeAreaWidgets();
    ApplyCommandIcons(this, m_actions);
    buildMenuBar();
}

TMainForm::~TMainForm()
{
    shutDown();
    // The pages go before their entries; connections quit their servers as
    // they go, with nothing left to paint.
    m_tearingDown = true;
    m_documents->discardAll();
    m_runner->setInline(true);
    m_workspace.reset();
}

void TMainForm::buildAreas(std::function<bool()> onlineProbe, FtpClientFactory ownClients)
{
    Workspace& ws = *m_workspace;

    m_documents = new DocumentsArea(ws, *m_feedback, *m_actions, m_pages, this);
    // The sites ask the documents to close the pages of what they close.
    m_sites = new SitesArea(ws, *m_feedback, *m_actions, *m_documents, m_pages, this);
    m_banners = new BannersArea(ws, *m_actions, m_preview, m_previewPanel, this);
    m_reports = new ReportsArea(ws, *m_banners, this);
    // The program's web client, shared by the two online-service areas.
    auto* webClient = new QNetworkAccessManager(this);
    m_networks = new NetworksArea(ws, *webClient, this);
    m_options = new OptionsArea(ws, *webClient, std::move(onlineProbe), this);
    m_siteWide = new SiteWideArea(ws, *m_sites, *m_documents, std::move(ownClients), this);

    connect(m_options, &OptionsArea::networkUpdateRequested, m_networks, &NetworksArea::updateNetworks);
    connect(m_options, &OptionsArea::serviceAddressChanged, m_networks, &NetworksArea::showServiceAddress);
    connect(m_options, &OptionsArea::passwordsMoved, this, [this] {
        m_sites->loadSetups();
        m_networks->loadProfilesAndNetworks();
    });

    connect(m_sites, &SitesArea::openFileRequested, this,
        [this](TFileNode* file) { m_documents->openDocument(*file); });
    connect(m_siteWide, &SiteWideArea::pageRequested, this,
        [this](const QString& setupName, const QString& path, int line) {
            TFileNode* file = m_sites->findFile(ToData(setupName), ToData(path));
            if (file && m_documents->openDocument(*file))
                m_documents->showLine(*file, static_cast<size_t>(std::max(line, 0)));
        });
    connect(m_sites, &SitesArea::previewRequested, this, &TMainForm::openPreview);
    connect(m_documents, &DocumentsArea::previewRequested, this, &TMainForm::openPreview);
    connect(m_documents, &DocumentsArea::bannerRowRequested, m_banners, &BannersArea::selectRow);
    connect(m_networks, &NetworksArea::networksReplaced, m_banners, &BannersArea::reloadBanners);
    connect(m_networks, &NetworksArea::statusText, this, &TMainForm::showStatus);
    connect(m_options, &OptionsArea::statusText, this, &TMainForm::showStatus);

    connect(m_sites, &SitesArea::commandStateChanged, this, &TMainForm::updateCommandState);
    connect(m_documents, &DocumentsArea::commandStateChanged, this, &TMainForm::updateCommandState);
    connect(m_banners, &BannersArea::commandStateChanged, this, &TMainForm::updateCommandState);
    connect(m_banners, &BannersArea::bannerSelectionChanged, m_documents, &DocumentsArea::restartJumps);
    connect(m_banners, &BannersArea::bannerChanged, m_documents, &DocumentsArea::refreshAdNodes);
    m_adCommands = new PageAdCommands(ws, *m_documents, *m_actions, this);
    connect(m_adCommands, &PageAdCommands::commandStateChanged, this, &TMainForm::updateCommandState);
    connect(m_documents, &DocumentsArea::tabOpened, m_adCommands, &PageAdCommands::attachTab);
    connect(m_documents, &DocumentsArea::tabOpened, m_siteWide, &SiteWideArea::pageOpened);
    connect(m_banners, &BannersArea::bannerChanged, m_siteWide, &SiteWideArea::catalogueChanged);
    connect(m_documents, &DocumentsArea::pageTitleChanged, this, [this](const QString& page) {
        setWindowTitle(page.isEmpty() ? kWindowTitle : page + QStringLiteral(" - ") + kWindowTitle);
    });
    connect(m_feedback, &GuiFeedback::commandStateChanged, this, &TMainForm::updateCommandState);
    connect(m_runner, &TransferRunner::busyChanged, this, &TMainForm::updateCommandState);

    connect(m_exitButton, &QToolButton::clicked, this, &QWidget::close);
}

void TMainForm::showStatus(const QString& text)
{
    m_feedback->setStatusText(text);
}

void TMainForm::openPreview(const QString& address)
{
    auto* window = new BrowserWindow;
    window->setObjectName(QStringLiteral("PreviewWindow"));
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(address);
    window->makeVisible();
    window->navigate(address, History::Skip);
    window->showMaximised();
}

void TMainForm::applyPaneSizes()
{
    // Splitters take sizes reliably once they are laid out.
    if (m_paneSizesApplied)
        return;
    m_paneSizesApplied = true;
    QSplitter* listSplitter = m_sites->widgets().listSplitter;
    const int treeTotal = listSplitter->width() - listSplitter->handleWidth();
    listSplitter->setSizes({ m_startSettings.TreeWidth, std::max(0, treeTotal - m_startSettings.TreeWidth) });
    const int middleTotal = m_middle->width() - m_middle->handleWidth();
    m_middle->setSizes({ std::max(0, middleTotal - m_startSettings.PreviewWidth), m_startSettings.PreviewWidth });
    const int columnTotal = m_middleSplitter->height() - m_middleSplitter->handleWidth();
    // The page control takes most of the height: pages are what users work on.
    const int pagesHeight = std::max(173, columnTotal * 3 / 5);
    m_middleSplitter->setSizes({ pagesHeight, std::max(0, columnTotal - pagesHeight) });
}

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_frameFitted) {
        m_frameFitted = true;
        fitFrameToWorkArea(20);
        if (!m_quitRequested)
            QTimer::singleShot(0, this, &TMainForm::offerRecovery);
    }
    if (!m_paneSizesApplied) {
        if (QLayout* l = centralWidget()->layout())
            l->activate();
        applyPaneSizes();
    }
}

void TMainForm::fitFrameToWorkArea(int triesLeft)
{
    // The work area holds the whole window, frame included. A window manager
    // adds the frame a little after the window is shown, so look again for a
    // short while.
    QTimer::singleShot(50, this, [this, triesLeft] {
        const QScreen* screen = QGuiApplication::primaryScreen();
        if (!screen || isMaximized() || !isVisible())
            return;
        const QRect frame = frameGeometry();
        const QRect inner = geometry();
        if (frame == inner) {
            if (triesLeft > 0)
                fitFrameToWorkArea(triesLeft - 1);
            return;
        }
        setGeometry(screen->availableGeometry().adjusted(inner.left() - frame.left(), inner.top() - frame.top(),
            inner.right() - frame.right(), inner.bottom() - frame.bottom()));
    });
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    // A whole-site run going on is stopped first, if the user says so.
    if (!m_siteWide->mayQuit()) {
        event->ignore();
        return;
    }
    // The list page stays; every document page closes, from the last one on.
    if (!m_documents->closeAll()) {
        event->ignore();
        return;
    }
    event->accept();
    // The browser windows (preview, login, signup, help) go with the main
    // window, so that the program ends now and not with the last of them.
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* browser = qobject_cast<BrowserWindow*>(window))
            browser->close();
}

void TMainForm::updateCommandState()
{
    if (!m_startedUp || m_tearingDown)
        return;
    const Workspace& ws = *m_workspace;
    DocumentTab* tab = m_documents->activeTab();
    const TConnection* documentConnection = tab ? ConnectionOf(tab->file()) : nullptr;
    const TNode* entry = m_sites->selectedEntry();

    CommandFacts facts;
    QComboBox* setups = m_sites->widgets().setups;
    facts.SetupCount = setups->count();
    facts.SelectedSetup = setups->currentIndex();
    facts.DocumentActive = tab != nullptr;
    facts.FolderSelected = ws.Tree.Selected() != nullptr;
    facts.FolderNeedsReconnect = facts.FolderSelected && RootOf(ws.Tree.Selected())->NeedsReconnect;
    facts.FileSelected = entry != nullptr;
    facts.SelectedFileKind = entry ? entry->Kind : nkOther;
    facts.DocumentNeedsReconnect = documentConnection && documentConnection->NeedsReconnect;
    facts.AdNodeSelected = tab && tab->adTree().Selected();
    facts.BannerSelected = m_banners->hasSelectedBanner();
    facts.LoginMenuHasEntries = !m_networks->widgets().loginMenu->isEmpty();
    facts.TransferRunning = m_runner->busy();
    const CommandState state = ComputeCommandState(facts);

    if (state.SelectSetup >= 0) {
        const QSignalBlocker block(setups);
        setups->setCurrentIndex(state.SelectSetup);
    }
    if (m_commandTargets.empty()) {
        for (const Command command : AllCommands()) {
            QObject* target = m_actions->action(command);
            if (!target)
                target = findChild<QObject*>(CommandObjectName(command));
            if (target)
                m_commandTargets.emplace_back(command, target);
        }
    }
    for (const auto& [command, target] : m_commandTargets) {
        const bool enabled = state.IsEnabled(command);
        if (auto* action = qobject_cast<QAction*>(target))
            action->setEnabled(enabled);
        else if (auto* widget = qobject_cast<QWidget*>(target))
            widget->setEnabled(enabled);
    }
    for (const auto& [item, button] : m_buttonItems)
        item->setEnabled(button->isEnabled());
}

} // namespace pw::gui

#include "gui/mainwindow.h"

#include "base/files.h"
#include "gui/banners/bannersarea.h"
#include "gui/banners/fmbanner.h"
#include "gui/common/actionlist.h"
#include "gui/common/browserwindow.h"
#include "gui/common/datatext.h"
#include "gui/common/fmmessage.h"
#include "gui/common/guifeedback.h"
#include "gui/common/messagebox.h"
#include "gui/common/popupmenu.h"
#include "gui/common/transferrunner.h"
#include "gui/common/webpane.h"
#include "gui/documents/documentsarea.h"
#include "gui/documents/documenttab.h"
#include "gui/documents/pageadcommands.h"
#include "gui/networks/fmnetworks.h"
#include "gui/networks/networksarea.h"
#include "gui/options/fmeditini.h"
#include "gui/options/fmoption.h"
#include "gui/options/optionsarea.h"
#include "gui/sites/fmhosts.h"
#include "gui/sites/sitesarea.h"
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
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <chrono>

// The bundled icons live in the window library; a static library's
// resources are registered by hand.
static void RegisterIcons()
{
    Q_INIT_RESOURCE(icons);
}

namespace pw::gui {

namespace {

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
}

// Milliseconds since the system started, as a 32-bit tick count.
std::uint32_t TickCount()
{
    using namespace std::chrono;
    return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace

TMainForm::TMainForm(
    const QString& settingsFolder, const QString& scratchFolder, FtpClientFactory ftpClients, QWidget* parent)
    : QMainWindow(parent)
    , m_settingsFolder(settingsFolder)
    , m_scratchFolder(scratchFolder)
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Pagewick(V1.1)"));
    resize(789, 600);
    m_actions = new ActionList(this);
    addActions(m_actions->actions());
    RegisterIcons();
    setWindowIcon(QIcon::fromTheme(
        QLatin1String(icons::kProgramIconTheme), QIcon(QLatin1String(icons::kProgramIconResource))));
    buildLayout();
    buildToolBar();
    buildMenus();
    ApplyCommandIcons(this, m_actions);

    m_runner = new TransferRunner(this, this);
    m_feedback = new GuiFeedback(this, statusBar(), m_runner, this);
    m_workspace = std::make_unique<Workspace>(
        settingsFolder.toStdString(), m_runner->wrap(std::move(ftpClients)), *m_feedback);
    buildAreas();
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

TIniList& TMainForm::IniListSetup()
{
    return m_workspace->IniListSetup;
}

TIniList& TMainForm::IniListAd()
{
    return m_workspace->IniListAd;
}

TIniList& TMainForm::IniListSiteInfo()
{
    return m_workspace->IniListSiteInfo;
}

void TMainForm::buildAreas()
{
    auto button = [this](const char* name) { return findChild<QToolButton*>(QLatin1String(name)); };
    auto item = [this](const char* name) { return findChild<QAction*>(QLatin1String(name)); };
    Workspace& ws = *m_workspace;

    m_sites = new SitesArea(ws, *m_feedback, *m_actions,
        { m_setups, m_tree, m_files, m_pages, button("TBConnect"), button("TBDisconnect"), button("TBReconnect"),
            button("TBHosts") },
        this);
    auto* encodingLabel = new QLabel(this);
    encodingLabel->setObjectName(QStringLiteral("PageEncodingLabel"));
    encodingLabel->setAccessibleName(QStringLiteral("ページの文字コード"));
    statusBar()->addPermanentWidget(encodingLabel);
    m_documents = new DocumentsArea(
        ws, *m_feedback, *m_actions, { m_pages, m_editorMenu, m_adTreeMenu, encodingLabel }, this);
    m_banners = new BannersArea(
        ws, *m_actions, { m_bannerList, m_previewPanel, m_preview, m_previewItem, m_monitorItem }, this);
    m_networks = new NetworksArea(
        ws, { button("TBLogin"), m_loginMenu, item("MINetwork"), item("MIUpdateNetwork") }, this);
    m_options = new OptionsArea(ws,
        { button("TBOptions"), m_optionsMenu, m_adItem, item("MIOption"), m_adPanel, button("TBHelp"), m_ad },
        this);

    m_networks->setService(
        m_options->network(), [this] { return m_options->serviceUrl(); }, &m_networkVersion);
    connect(m_options, &OptionsArea::networkUpdateRequested, m_networks, &NetworksArea::updateNetworks);

    // The areas meet here: the sites ask the documents to open and close pages.
    m_sites->setDocumentHooks({
        [this](TConnection& connection) { return m_documents->closeConnectionDocuments(connection); },
        [this](const std::string& folder) { return m_documents->closeDocumentsBelow(folder); },
        [this] { return m_documents->activeFile(); },
    });
    connect(m_sites, &SitesArea::openFileRequested, this,
        [this](TFileNode* file) { m_documents->openDocument(*file); });
    connect(m_sites, &SitesArea::previewRequested, this, &TMainForm::openPreview);
    connect(m_documents, &DocumentsArea::previewRequested, this, &TMainForm::openPreview);
    connect(m_documents, &DocumentsArea::bannerRowRequested, m_banners, &BannersArea::selectRow);
    connect(m_networks, &NetworksArea::networksReplaced, m_banners, &BannersArea::reloadBanners);
    connect(m_networks, &NetworksArea::statusText, this, &TMainForm::showStatus);
    connect(m_options, &OptionsArea::statusText, this, &TMainForm::showStatus);

    connect(m_sites, &SitesArea::commandStateChanged, this, &TMainForm::updateCommandState);
    connect(m_documents, &DocumentsArea::commandStateChanged, this, &TMainForm::updateCommandState);
    connect(m_banners, &BannersArea::commandStateChanged, this, &TMainForm::updateCommandState);
    connect(m_banners, &BannersArea::bannerSelectionChanged, this, [this] { m_documents->jumpCounter() = 1; });
    // A catalogue change re-rates the blocks of the active page.
    connect(m_banners, &BannersArea::bannerChanged, this,
        [this](const std::optional<std::string>& oldName, const TAdBanner* banner) {
            if (DocumentTab* tab = m_documents->activeTab()) {
                AdPage page = tab->page();
                RefreshAdNodes(page, oldName, banner);
            }
        });
    auto* adCommands = new PageAdCommands(ws, *m_documents, *m_actions, m_addAdMenu, this);
    connect(adCommands, &PageAdCommands::commandStateChanged, this, &TMainForm::updateCommandState);
    connect(m_documents, &DocumentsArea::tabOpened, adCommands, &PageAdCommands::attachTab);
    connect(m_feedback, &GuiFeedback::commandStateChanged, this, &TMainForm::updateCommandState);
    connect(m_runner, &TransferRunner::busyChanged, this, &TMainForm::updateCommandState);

    connect(button("TBExit"), &QToolButton::clicked, this, &QWidget::close);
    connect(button("TBAddAd"), &QToolButton::clicked, this,
        [this, button] { PopupBelow(button("TBAddAd"), m_addAdMenu); });
}

void TMainForm::createDialogs()
{
    m_fmNetworks = new TFmNetworks(*m_workspace, this);
    m_fmBanner = new TFmBanner(this);
    m_fmHosts = new TFmHosts(this);
    m_fmOption
        = new TFmOption(m_workspace->IniListAd, m_workspace->IniListSetup, m_workspace->SettingsFolder, this);
    m_fmEditIni = new TFmEditIni(m_workspace->IniListAd, m_workspace->IniListSetup, m_workspace->IniListSiteInfo,
        m_workspace->SettingsFolder, this);
    m_fmMessage = new TFmMessage(this);
    m_sites->setHostsDialog(m_fmHosts);
    m_networks->setDialog(m_fmNetworks);
    m_networks->setEditor(m_fmEditIni);
    m_fmNetworks->setExplanation(m_fmMessage);
    m_banners->setDialog(m_fmBanner);
    m_options->setDialog(m_fmOption);
}

void TMainForm::showStatus(const QString& text)
{
    statusBar()->showMessage(text, 5000);
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

bool TMainForm::loadSettingsFiles()
{
    const std::string folder = m_settingsFolder.toStdString();
    bool ok = true;
    const std::pair<TIniList*, std::string_view> files[] = { { &m_workspace->IniListSetup, kMainSettingsFile },
        { &m_workspace->IniListAd, kBannerFile }, { &m_workspace->IniListSiteInfo, kProfileFile } };
    for (const auto& [store, name] : files) {
        SettingsLoadReport report;
        const Status loaded = LoadSettingsFile(*store, folder, name, &report);
        if (!loaded) {
            ShowMessage(this, MessageType::Error, FromData(loaded.error));
            ok = false;
        } else if (report.Damaged) {
            ShowMessage(this, MessageType::Warning,
                QStringLiteral("設定ファイル[%1]が壊れています。%2バイト中%3バイト目までしか読めませんでした。"
                               "元のファイルは[%4]に保存しました。")
                    .arg(QString::fromStdString(JoinPath(folder, name)))
                    .arg(report.FileBytes)
                    .arg(report.LoadedBytes)
                    .arg(QString::fromStdString(report.DamagedCopy)));
        }
    }
    return ok;
}

void TMainForm::startUp()
{
    if (m_startedUp)
        return;
    m_startedUp = true;

    // The new-version flag and the private scratch folder with its three
    // files (stale folders of a crashed run go first); the transfer buffer
    // lives in the workspace.
    m_newVersionQuestioned = false;
    if (const Status made = m_workspace->Scratch.Create(m_scratchFolder.toStdString(), TickCount()); !made) {
        ShowMessage(this, MessageType::Error, QString::fromStdString(made.error));
        m_quitRequested = true;
    }
    m_workspace->ScratchFiles = m_workspace->Scratch.Files();

    // The three settings files, in this order.
    if (!loadSettingsFiles())
        m_quitRequested = true;
    m_options->loadOptions();

    // The window takes the screen's work area, without being maximised.
    if (QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(screen->availableGeometry());

    // General settings: the definitions' version, the check items, panes and sizes.
    GeneralSettings designed;
    designed.TreeWidth = 217;
    designed.TreeHeight = 146;
    designed.PreviewWidth = 127;
    const int setupCount = m_workspace->IniListSetup.ReadInteger("Setups", "Count", 0);
    m_startSettings = ReadGeneralSettings(m_workspace->IniListSetup, designed, setupCount);
    applyGeneralSettings(m_startSettings);

    // Site setups, profiles and networks, then the catalogue.
    m_sites->loadSetups();
    m_networks->loadProfilesAndNetworks();
    m_banners->loadBanners(m_startSettings.LastAdIndex, m_startSettings.SortColumn);
    updateCommandState();
    if (!m_quitRequested)
        m_options->startOnlineServices(&m_networkVersion);
}

void TMainForm::applyGeneralSettings(const GeneralSettings& s)
{
    m_networkVersion = s.NetworkVersion;
    m_monitorItem->setChecked(s.ClipMonitor);
    m_adItem->setChecked(s.Ad);
    m_options->setAdPanelVisible(s.Ad);
    m_banners->rememberPreviewWidth(s.PreviewWidth);
    m_previewItem->setChecked(s.PreviewAd);
    m_banners->setPreviewVisible(s.PreviewAd);
    m_tree->resize(s.TreeWidth, s.TreeHeight);
    m_previewPanel->resize(s.PreviewWidth, m_previewPanel->height());
    m_paneSizesApplied = false;
    if (isVisible())
        applyPaneSizes();
}

void TMainForm::applyPaneSizes()
{
    // Splitters take sizes reliably once they are laid out.
    if (m_paneSizesApplied)
        return;
    m_paneSizesApplied = true;
    const int treeTotal = m_directorySplitter->width() - m_directorySplitter->handleWidth();
    m_directorySplitter->setSizes(
        { m_startSettings.TreeWidth, std::max(0, treeTotal - m_startSettings.TreeWidth) });
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

GeneralSettings TMainForm::collectGeneralSettings() const
{
    GeneralSettings s = m_startSettings;
    s.ClipMonitor = m_monitorItem->isChecked();
    s.Ad = m_adItem->isChecked();
    s.PreviewAd = m_previewItem->isChecked();
    s.DefautIndex = m_setups->currentIndex();
    s.TreeWidth = m_tree->width();
    s.TreeHeight = m_tree->height();
    s.PreviewWidth = m_banners->previewWidth();
    const int sorted = m_bannerList->header()->sortIndicatorSection();
    if (sorted >= 0)
        s.SortColumn
            = SortColumnValue(sorted, m_bannerList->header()->sortIndicatorOrder() == Qt::DescendingOrder);
    const TAdBanner* selected = m_workspace->Banners.SelectedBanner();
    s.LastAdIndex = selected ? selected->Number : 0;
    return s;
}

std::string TMainForm::recoveryFolder() const
{
    return JoinPath(m_settingsFolder.toStdString(), "recovery");
}

void TMainForm::endWithoutQuestions()
{
    if (m_shutDown || !m_startedUp)
        return;
    if (const Status kept = SaveRecoveryCopies(recoveryFolder(), m_documents->recoveryCopies()); !kept)
        qWarning("pagewick: modified pages could not be kept: %s", kept.error.c_str());
    shutDown();
}

void TMainForm::offerRecovery()
{
    const std::vector<RecoveryCopy> copies = LoadRecoveryCopies(recoveryFolder());
    if (copies.empty())
        return;
    QString list;
    for (const RecoveryCopy& copy : copies)
        list += FromData(copy.SetupName) + QStringLiteral(": ") + FromData(copy.Path) + QLatin1Char('\n');
    const auto answer = ShowMessage(this, MessageType::Confirmation,
        QStringLiteral("前回の終了時に保存されていなかったページがあります。\n\n") + list
            + QStringLiteral("\nこれらのページを開き直しますか？（「いいえ」で破棄します）"),
        QMessageBox::Yes | QMessageBox::No);
    std::vector<RecoveryCopy> notOpened;
    if (answer == QMessageBox::Yes) {
        for (const RecoveryCopy& copy : copies) {
            TFileNode* file = m_sites->findFile(copy.SetupName, copy.Path);
            if (file && m_documents->openDocument(*file))
                m_documents->restoreText(*file, copy.Bytes);
            else
                notOpened.push_back(copy);
        }
    }
    ClearRecoveryCopies(recoveryFolder());
    if (!notOpened.empty()) {
        // Kept for the next start: the site may be reachable then.
        SaveRecoveryCopies(recoveryFolder(), notOpened);
        ShowMessage(this, MessageType::Warning,
            QStringLiteral("開けなかったページは次回の起動時にもう一度お尋ねします。"));
    }
    updateCommandState();
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    // The list page stays; every document page closes, from the last one on.
    if (!m_documents->closeAll()) {
        event->ignore();
        return;
    }
    event->accept();
}

void TMainForm::shutDown()
{
    if (m_shutDown || !m_startedUp)
        return;
    m_shutDown = true;

    m_workspace->Scratch.Remove();

    // A start-up that could not create its settings files writes nothing back.
    if (m_quitRequested)
        return;

    WriteGeneralSettings(
        m_workspace->IniListSetup, collectGeneralSettings(), m_bannerList->header()->sortIndicatorSection() >= 0);
    m_sites->storeSetups();
    const Status saved
        = SaveSettingsFile(m_workspace->IniListSetup, m_settingsFolder.toStdString(), kMainSettingsFile);
    if (!saved)
        ShowMessage(this, MessageType::Error, FromData(saved.error));
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
    facts.SetupCount = m_setups->count();
    facts.SelectedSetup = m_setups->currentIndex();
    facts.DocumentActive = tab != nullptr;
    facts.FolderSelected = ws.Tree.Selected() != nullptr;
    facts.FolderNeedsReconnect = facts.FolderSelected && RootOf(ws.Tree.Selected())->NeedsReconnect;
    facts.FileSelected = entry != nullptr;
    facts.SelectedFileKind = entry ? entry->Kind : nkOther;
    facts.DocumentNeedsReconnect = documentConnection && documentConnection->NeedsReconnect;
    facts.AdNodeSelected = tab && tab->adTree().Selected();
    facts.BannerSelected = m_banners->hasSelectedBanner();
    facts.LoginMenuHasEntries = !m_loginMenu->isEmpty();
    facts.TransferRunning = m_runner->busy();
    const CommandState state = ComputeCommandState(facts);

    if (state.SelectSetup >= 0) {
        const QSignalBlocker block(m_setups);
        m_setups->setCurrentIndex(state.SelectSetup);
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

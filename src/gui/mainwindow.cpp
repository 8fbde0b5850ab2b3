#include "gui/mainwindow.h"

#include "base/files.h"
#include "gui/actionlist.h"
#include "gui/datatext.h"
#include "gui/dialogs/fmbanner.h"
#include "gui/dialogs/fmeditini.h"
#include "gui/dialogs/fmhosts.h"
#include "gui/dialogs/fmmessage.h"
#include "gui/dialogs/fmnetworks.h"
#include "gui/dialogs/fmoption.h"
#include "gui/messagebox.h"
#include "gui/webpane.h"
#include "settings/settingsfile.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QFile>
#include <QHeaderView>
#include <QLayout>
#include <QMenu>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include <chrono>

namespace pw::gui {

namespace {

std::string Path(const QString& path)
{
    return path.toStdString();
}

// Milliseconds since the system started, as a 32-bit tick count.
std::uint32_t TickCount()
{
    using namespace std::chrono;
    return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace

TMainForm::TMainForm(const QString& settingsFolder, const QString& scratchFolder, QWidget* parent)
    : QMainWindow(parent), m_settingsFolder(settingsFolder), m_scratchFolder(scratchFolder)
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Pagewick(V1.1)"));
    resize(789, 600);
    m_actions = new ActionList(this);
    addActions(m_actions->actions());
    buildLayout();
    buildToolBar();
    buildMenus();
    connectCommands();
}

TMainForm::~TMainForm()
{
    shutDown();
}

void TMainForm::createDialogs()
{
    m_fmNetworks = new TFmNetworks(this);
    m_fmBanner = new TFmBanner(this);
    m_fmHosts = new TFmHosts(this);
    m_fmOption = new TFmOption(this);
    m_fmEditIni = new TFmEditIni(this);
    m_fmMessage = new TFmMessage(this);
}

void TMainForm::connectCommands()
{
    auto button = [this](const char* name) { return findChild<QToolButton*>(QLatin1String(name)); };
    auto menuItem = [this](const char* name) { return findChild<QAction*>(QLatin1String(name)); };

    connect(button("TBExit"), &QToolButton::clicked, this, &QWidget::close);
    connect(button("TBOptions"), &QToolButton::clicked, this, [this, button] { PopupBelow(button("TBOptions"), m_optionsMenu); });
    connect(button("TBLogin"), &QToolButton::clicked, this, [this, button] { PopupBelow(button("TBLogin"), m_loginMenu); });
    connect(button("TBAddAd"), &QToolButton::clicked, this, [this, button] { PopupBelow(button("TBAddAd"), m_addAdMenu); });
    connect(button("TBHosts"), &QToolButton::clicked, this, [this] {
        if (m_fmHosts)
            m_fmHosts->exec();
    });
    connect(menuItem("MINetwork"), &QAction::triggered, this, [this] {
        if (m_fmNetworks)
            m_fmNetworks->exec();
    });
    connect(menuItem("MIOption"), &QAction::triggered, this, [this] {
        if (m_fmOption)
            m_fmOption->exec();
    });
    connect(m_previewItem, &QAction::toggled, this, &TMainForm::setPreviewVisible);
    connect(m_adItem, &QAction::toggled, this, &TMainForm::setAdPanelVisible);

    // Commands that the sites, documents, page ads, banners, networks and
    // online-services work brings to life. Until then they say so.
    const char* later[] = {"RefreshDir", "DeleteAd",   "RefreshAd", "FileOpen",   "FilePreview",
                           "FileSave",   "FileCloseAct", "AddNormal", "AddRotation", "ReplaceAd",
                           "Jump",       "NewBanner",  "EditBanner", "DeleteBanner", "ArchiveBanner"};
    auto notYet = [this](const QString& caption) {
        return [this, caption] {
            statusBar()->showMessage(caption + QStringLiteral(": この機能はまだ使えません"), 5000);
        };
    };
    for (const char* name : later) {
        QAction* a = m_actions->action(QLatin1String(name));
        connect(a, &QAction::triggered, this, notYet(QString(a->text()).remove(QLatin1Char('&'))));
    }
    for (const char* name : {"TBConnect", "TBDisconnect", "TBReconnect", "TBHelp"})
        connect(button(name), &QToolButton::clicked, this, notYet(button(name)->toolTip()));
    connect(menuItem("MIUpdateNetwork"), &QAction::triggered, this, notYet(menuItem("MIUpdateNetwork")->text()));
}

void TMainForm::PopupBelow(QToolButton* button, QMenu* menu)
{
    const QPoint corner(button->width() - 5, button->height() - 5);
    menu->popup(button->mapToGlobal(corner));
}

bool TMainForm::loadSettingsFiles()
{
    const std::string folder = Path(m_settingsFolder);
    bool ok = true;
    const std::pair<TIniList*, std::string_view> files[] = {
        {&m_iniListSetup, kMainSettingsFile}, {&m_iniListAd, kBannerFile}, {&m_iniListSiteInfo, kProfileFile}};
    for (const auto& [store, name] : files) {
        const Status loaded = LoadSettingsFile(*store, folder, name);
        if (!loaded) {
            ShowMessage(this, MessageType::Error, FromData(loaded.error));
            ok = false;
        }
    }
    return ok;
}

void TMainForm::startUp()
{
    if (m_startedUp)
        return;
    m_startedUp = true;

    // 1-3: the new-version flag, the transfer buffer (with the sites work) and
    // the scratch file names.
    m_newVersionQuestioned = false;
    const std::uint32_t tick = TickCount();
    for (int n = 1; n <= 3; ++n) {
        m_scratchFiles[static_cast<size_t>(n - 1)] =
            QString::fromStdString(MakeScratchFileName(Path(m_scratchFolder), "html", n, tick));
    }

    // 4: the three settings files, in this order.
    if (!loadSettingsFiles())
        m_quitRequested = true;

    // 5: the window takes the screen's work area, without being maximised.
    if (QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(screen->availableGeometry());

    // 6-10: the version of the network definitions, the check items, panes and sizes.
    GeneralSettings designed;
    designed.TreeWidth = 217;
    designed.TreeHeight = 146;
    designed.PreviewWidth = 127;
    const int setupCount = m_iniListSetup.ReadInteger("Setups", "Count", 0);
    m_startSettings = ReadGeneralSettings(m_iniListSetup, designed, setupCount);
    applyGeneralSettings(m_startSettings);

    // 11 site setups and "DefautIndex" (sites work); 12 proxy options (options
    // work); 13 registration profiles and 14 networks (networks work); 15 the
    // login menu and the banner catalogue, 16 "LastAdIndex" and 17 "SortColumn"
    // (banner list work) come here.

    // 18: the preview of the selected banner (none yet).
    showBannerPreview();

    // 19 the banner list's selection handling, 20 the command state and 21 the
    // clipboard capture are connected here by their work.
}

void TMainForm::applyGeneralSettings(const GeneralSettings& s)
{
    m_networkVersion = s.NetworkVersion;
    m_monitorItem->setChecked(s.ClipMonitor);
    m_adItem->setChecked(s.Ad);
    setAdPanelVisible(s.Ad);
    m_previewItem->setChecked(s.PreviewAd);
    setPreviewVisible(s.PreviewAd);
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
    m_directorySplitter->setSizes({m_startSettings.TreeWidth, std::max(0, treeTotal - m_startSettings.TreeWidth)});
    const int middleTotal = m_middle->width() - m_middle->handleWidth();
    m_middle->setSizes({std::max(0, middleTotal - m_startSettings.PreviewWidth), m_startSettings.PreviewWidth});
    const int columnTotal = m_middleSplitter->height() - m_middleSplitter->handleWidth();
    m_middleSplitter->setSizes({173, std::max(0, columnTotal - 173)});
}

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_frameFitted) {
        m_frameFitted = true;
        fitFrameToWorkArea(20);
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
    s.PreviewWidth = m_previewPanel->width();
    const int sorted = m_banners->header()->sortIndicatorSection();
    if (sorted >= 0)
        s.SortColumn = SortColumnValue(sorted, m_banners->header()->sortIndicatorOrder() == Qt::DescendingOrder);
    // The selected banner's catalogue number arrives with the banner list.
    s.LastAdIndex = 0;
    return s;
}

void TMainForm::showBannerPreview()
{
    const QString& file = m_scratchFiles[1];
    QFile out(file);
    if (out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        out.write("<html><body></body></html>");
        out.close();
        m_preview->navigate(file, History::Skip);
    }
}

void TMainForm::setPreviewVisible(bool visible)
{
    m_previewPanel->setVisible(visible);
}

void TMainForm::setAdPanelVisible(bool visible)
{
    m_adPanel->setVisible(visible);
}

bool TMainForm::closeDocumentPage(int index)
{
    // Document pages arrive with the documents work, which asks about unsaved
    // changes here; a page without a document closes at once.
    QWidget* page = m_pages->widget(index);
    m_pages->removeTab(index);
    page->deleteLater();
    return true;
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    // The list page stays; every document page closes, from the last one on.
    for (int i = m_pages->count() - 1; i >= 1; --i) {
        m_pages->setCurrentIndex(i);
        if (!closeDocumentPage(i)) {
            event->ignore();
            return;
        }
    }
    event->accept();
}

void TMainForm::shutDown()
{
    if (m_shutDown || !m_startedUp)
        return;
    m_shutDown = true;

    for (const QString& file : m_scratchFiles)
        QFile::remove(file);

    // A start-up that could not create its settings files writes nothing back.
    if (m_quitRequested)
        return;

    WriteGeneralSettings(m_iniListSetup, collectGeneralSettings(), m_banners->header()->sortIndicatorSection() >= 0);
    // The site setups are written here by the sites work.
    const Status saved = SaveSettingsFile(m_iniListSetup, Path(m_settingsFolder), kMainSettingsFile);
    if (!saved)
        ShowMessage(this, MessageType::Error, FromData(saved.error));
}

} // namespace pw::gui

#pragma once

#include "shell/commands.h"
#include "shell/generalsettings.h"
#include "sites/ftpclient.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>
#include <string>
#include <utility>
#include <vector>

class QComboBox;
class QMenu;
class QSplitter;
class QStandardItemModel;
class QTabWidget;
class QToolBar;
class QToolButton;
class QTreeView;

namespace pw {
class TIniList;
}

namespace pw::gui {

class ActionList;
class BannersArea;
class DocumentsArea;
class GuiFeedback;
class NetworksArea;
class OptionsArea;
class SitesArea;
class TFmBanner;
class TFmEditIni;
class TFmHosts;
class TFmMessage;
class TFmNetworks;
class TFmOption;
class TransferRunner;
class WebPane;
struct Workspace;

// The main window: the frame (tool bar, the page control PCMain with the list
// page and one tab per open page, the banner list with its preview, the ad
// panel, the status bar), the workspace it works on, and the areas that own
// the commands. It runs the start-up and exit sequences and keeps the
// commands' enabled state.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // `settingsFolder` holds Pagewick.ini, ads.ini and siteinfo.ini;
    // `scratchFolder` receives the scratch .html files; `ftpClients` makes the
    // clients of the site connections.
    TMainForm(const QString& settingsFolder, const QString& scratchFolder, FtpClientFactory ftpClients,
        QWidget* parent = nullptr);
    ~TMainForm() override;

    // Creates the six dialogs, in their fixed order, after the main window.
    void createDialogs();
    // The start-up sequence, run once before the window is shown.
    void startUp();
    // The exit writes; run once, after the event loop (or from the destructor).
    void shutDown();

    // True when start-up could not create a settings file: the program ends
    // without entering normal work and writes nothing back.
    bool quitRequested() const { return m_quitRequested; }

    ActionList* actionList() const { return m_actions; }
    Workspace& workspace() { return *m_workspace; }
    TIniList& IniListSetup();
    TIniList& IniListAd();
    TIniList& IniListSiteInfo();
    int NetworkVersion() const { return m_networkVersion; }

    SitesArea* sites() const { return m_sites; }
    DocumentsArea* documents() const { return m_documents; }
    TransferRunner* transferRunner() const { return m_runner; }
    NetworksArea* networks() const { return m_networks; }
    OptionsArea* options() const { return m_options; }

    // Ends without a question, as for a signal or the end of the desktop
    // session: modified pages are kept as recovery copies, then the exit
    // steps run.
    void endWithoutQuestions();
    // Offers the pages kept by an earlier end without questions.
    void offerRecovery();
    std::string recoveryFolder() const;

    // Recomputes the enabled state of every command.
    void updateCommandState();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildLayout();
    void buildToolBar();
    void buildMenus();
    void buildMenuBar();
    void showAbout();
    void buildAreas();

    bool loadSettingsFiles();
    void applyGeneralSettings(const GeneralSettings& settings);
    GeneralSettings collectGeneralSettings() const;
    void applyPaneSizes();
    void fitFrameToWorkArea(int triesLeft);
    void openPreview(const QString& address);
    void showStatus(const QString& text);

    QString m_settingsFolder;
    QString m_scratchFolder;
    std::unique_ptr<Workspace> m_workspace;
    int m_networkVersion = 1;
    bool m_newVersionQuestioned = false;
    bool m_quitRequested = false;
    bool m_startedUp = false;
    bool m_shutDown = false;
    bool m_tearingDown = false;
    bool m_paneSizesApplied = false;
    bool m_frameFitted = false;
    GeneralSettings m_startSettings;

    ActionList* m_actions = nullptr;
    TransferRunner* m_runner = nullptr;
    GuiFeedback* m_feedback = nullptr;
    SitesArea* m_sites = nullptr;
    DocumentsArea* m_documents = nullptr;
    BannersArea* m_banners = nullptr;
    NetworksArea* m_networks = nullptr;
    OptionsArea* m_options = nullptr;

    // Frame widgets.
    QToolBar* m_toolBar = nullptr;
    QComboBox* m_setups = nullptr;
    QTabWidget* m_pages = nullptr;
    QWidget* m_directoryPage = nullptr;
    QSplitter* m_directorySplitter = nullptr;
    QTreeView* m_tree = nullptr;
    QTreeView* m_files = nullptr;
    QSplitter* m_middleSplitter = nullptr;
    QSplitter* m_middle = nullptr;
    QTreeView* m_bannerList = nullptr;
    QWidget* m_previewPanel = nullptr;
    WebPane* m_preview = nullptr;
    QWidget* m_adPanel = nullptr;
    WebPane* m_ad = nullptr;

    QMenu* m_loginMenu = nullptr;
    QMenu* m_optionsMenu = nullptr;
    QMenu* m_addAdMenu = nullptr;
    QMenu* m_editorMenu = nullptr;
    QMenu* m_adTreeMenu = nullptr;
    QAction* m_previewItem = nullptr;
    QAction* m_monitorItem = nullptr;
    QAction* m_adItem = nullptr;

    // Menu bar items that click a tool button, and the button.
    std::vector<std::pair<QAction*, QToolButton*>> m_buttonItems;
    // The objects whose enabled state the command state sets, by name.
    std::vector<std::pair<Command, QObject*>> m_commandTargets;

    QPointer<TFmNetworks> m_fmNetworks;
    QPointer<TFmBanner> m_fmBanner;
    QPointer<TFmHosts> m_fmHosts;
    QPointer<TFmOption> m_fmOption;
    QPointer<TFmEditIni> m_fmEditIni;
    QPointer<TFmMessage> m_fmMessage;
};

} // namespace pw::gui

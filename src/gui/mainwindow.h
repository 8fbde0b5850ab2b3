#pragma once

#include "shell/commands.h"
#include "shell/generalsettings.h"
#include "sites/ftpclient.h"

#include <QMainWindow>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QMenu;
class QSplitter;
class QTabWidget;
class QToolBar;
class QToolButton;

namespace pw::gui {

class ActionList;
class BannersArea;
class ReportsArea;
class DocumentsArea;
class GuiFeedback;
class NetworksArea;
class OptionsArea;
class PageAdCommands;
class SitesArea;
class SiteWideArea;
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
    // clients of the site connections; `onlineProbe`, when given, tells the
    // online services whether the machine is online (see OptionsArea).
    TMainForm(const QString& settingsFolder, const QString& scratchFolder, FtpClientFactory ftpClients,
        std::function<bool()> onlineProbe = {}, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The start-up sequence, run once before the window is shown.
    void startUp();
    // The exit writes; run once, after the event loop (or from the destructor).
    void shutDown();

    // True when start-up could not create a settings file: the program ends
    // without entering normal work and writes nothing back.
    bool quitRequested() const { return m_quitRequested; }

    ActionList* actionList() const { return m_actions; }
    Workspace& workspace() { return *m_workspace; }

    SitesArea* sites() const { return m_sites; }
    DocumentsArea* documents() const { return m_documents; }
    TransferRunner* transferRunner() const { return m_runner; }
    NetworksArea* networks() const { return m_networks; }
    OptionsArea* options() const { return m_options; }
    ReportsArea* reports() const { return m_reports; }
    SiteWideArea* siteWide() const { return m_siteWide; }

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
    void buildFrame();
    void buildMenus();
    void placeAreaWidgets();
    void buildMenuBar();
    void showAbout();
    void buildAreas(std::function<bool()> onlineProbe, FtpClientFactory ownClients);

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
    ReportsArea* m_reports = nullptr;
    NetworksArea* m_networks = nullptr;
    OptionsArea* m_options = nullptr;
    SiteWideArea* m_siteWide = nullptr;
    PageAdCommands* m_adCommands = nullptr;

    // The frame's own widgets; the areas make theirs and the frame places them.
    QToolBar* m_toolBar = nullptr;
    QTabWidget* m_pages = nullptr;
    QSplitter* m_middleSplitter = nullptr;
    QSplitter* m_middle = nullptr;
    QWidget* m_previewPanel = nullptr;
    WebPane* m_preview = nullptr;
    QToolButton* m_exitButton = nullptr;

    // Pop-up menus of the action list.
    QMenu* m_directoryMenu = nullptr;
    QMenu* m_fileMenu = nullptr;
    QMenu* m_adEditMenu = nullptr;

    // Menu bar items that click a tool button, and the button.
    std::vector<std::pair<QAction*, QToolButton*>> m_buttonItems;
    // The objects whose enabled state the command state sets, by name.
    std::vector<std::pair<Command, QObject*>> m_commandTargets;
};

} // namespace pw::gui

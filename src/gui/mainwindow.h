#pragma once

#include "settings/inilist.h"
#include "shell/generalsettings.h"

#include <QMainWindow>
#include <QPointer>

#include <array>
#include <memory>

class QComboBox;
class QMenu;
class QSplitter;
class QStandardItemModel;
class QStatusBar;
class QTabWidget;
class QToolBar;
class QToolButton;
class QTreeView;

namespace pw::gui {

class ActionList;
class TFmBanner;
class TFmEditIni;
class TFmHosts;
class TFmMessage;
class TFmNetworks;
class TFmOption;
class WebPane;

// The main window: tool bar, site selector, the list page with the folder tree
// and the file list, one page per open document, the banner list with its
// preview, and the ad panel. It owns the three settings stores for the run.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // `settingsFolder` holds Pagewick.ini, ads.ini and siteinfo.ini;
    // `scratchFolder` receives the scratch .html files.
    TMainForm(const QString& settingsFolder, const QString& scratchFolder, QWidget* parent = nullptr);
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
    TIniList& IniListSetup() { return m_iniListSetup; }
    TIniList& IniListAd() { return m_iniListAd; }
    TIniList& IniListSiteInfo() { return m_iniListSiteInfo; }
    const std::array<QString, 3>& scratchFiles() const { return m_scratchFiles; }
    int NetworkVersion() const { return m_networkVersion; }

    // Opens a tool button's menu with its top-left corner 5 pixels left of and
    // above the button's bottom-right corner.
    static void PopupBelow(QToolButton* button, QMenu* menu);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildLayout();
    void buildToolBar();
    void buildMenus();
    void connectCommands();

    bool loadSettingsFiles();
    void applyGeneralSettings(const GeneralSettings& settings);
    GeneralSettings collectGeneralSettings() const;
    void applyPaneSizes();
    void fitFrameToWorkArea(int triesLeft);
    void showBannerPreview();

    // Closes the document on page `index` of PCMain, asking about unsaved
    // changes; false when the document stays open.
    bool closeDocumentPage(int index);

    void setPreviewVisible(bool visible);
    void setAdPanelVisible(bool visible);

    QString m_settingsFolder;
    QString m_scratchFolder;
    TIniList m_iniListSetup;
    TIniList m_iniListAd;
    TIniList m_iniListSiteInfo;
    std::array<QString, 3> m_scratchFiles;
    int m_networkVersion = 1;
    bool m_newVersionQuestioned = false;
    bool m_quitRequested = false;
    bool m_startedUp = false;
    bool m_shutDown = false;
    bool m_paneSizesApplied = false;
    bool m_frameFitted = false;
    GeneralSettings m_startSettings;

    ActionList* m_actions = nullptr;

    // Window parts, named as the rest of the program refers to them.
    QToolBar* m_toolBar = nullptr;
    QComboBox* m_setups = nullptr;
    QTabWidget* m_pages = nullptr;
    QWidget* m_directoryPage = nullptr;
    QSplitter* m_directorySplitter = nullptr;
    QTreeView* m_tree = nullptr;
    QTreeView* m_files = nullptr;
    QStandardItemModel* m_filesModel = nullptr;
    QSplitter* m_middleSplitter = nullptr;
    QSplitter* m_middle = nullptr;
    QTreeView* m_banners = nullptr;
    QStandardItemModel* m_bannersModel = nullptr;
    QWidget* m_previewPanel = nullptr;
    WebPane* m_preview = nullptr;
    QWidget* m_adPanel = nullptr;
    WebPane* m_ad = nullptr;

    QMenu* m_loginMenu = nullptr;
    QMenu* m_optionsMenu = nullptr;
    QMenu* m_addAdMenu = nullptr;
    QAction* m_previewItem = nullptr;
    QAction* m_monitorItem = nullptr;
    QAction* m_adItem = nullptr;

    QPointer<TFmNetworks> m_fmNetworks;
    QPointer<TFmBanner> m_fmBanner;
    QPointer<TFmHosts> m_fmHosts;
    QPointer<TFmOption> m_fmOption;
    QPointer<TFmEditIni> m_fmEditIni;
    QPointer<TFmMessage> m_fmMessage;
};

} // namespace pw::gui

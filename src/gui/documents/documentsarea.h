#pragma once

#include "gui/common/opendocuments.h"
#include "pageads/scanner.h"
#include "sites/recovery.h"
#include "text/pageencoding.h"

#include <QObject>

#include <map>
#include <optional>
#include <vector>

#include <string>

class QAction;
class QLabel;
class QMenu;
class QTabWidget;
class QWidget;

namespace pw {
class AdNode;
struct AdCommandResult;
class SiteFeedback;
class TAdBanner;
class TConnection;
class TFileNode;
} // namespace pw

namespace pw::gui {

class ActionList;
class DocumentTab;
struct Workspace;

// The documents area: one tab of PCMain per open page, with its open, save,
// close and preview commands, the questions about unsaved changes, and the
// find bar.
class DocumentsArea : public QObject, public OpenDocuments {
    Q_OBJECT
public:
    struct Widgets {
        QTabWidget* pages; // PCMain, the window's; page 0 is the list page
        QMenu* editorMenu; // PMOpeningFile
        QMenu* adTreeMenu; // PMAds
        QLabel* encodingLabel; // the active page's encoding, in the status bar
    };

    // Makes the two pop-up menus of a page (children of `window`) and the
    // encoding label; adds a tab to `pages` per open page.
    DocumentsArea(
        Workspace& workspace, SiteFeedback& feedback, ActionList& actions, QTabWidget* pages, QWidget* window);
    // What the window places: the encoding label in its status bar.
    const Widgets& widgets() const { return m_widgets; }
    ~DocumentsArea() override;

    // Shows the file's tab, loading the file first when it is not open;
    // false when it could not be loaded (no tab is left behind).
    bool openDocument(TFileNode& file);
    // Saves a modified page; true when nothing needed saving or it worked.
    bool saveDocument(TFileNode& file);
    // Closes the file's tab, asking about unsaved changes; false when the user
    // cancelled or the save failed.
    bool closeDocument(TFileNode& file);

    // Closes the tabs from the last to the second, each made active before it
    // asks; false at the first that stays open.
    bool closeAll();
    // Takes every tab away without a question (the window is going away
    // after its pages were kept or saved).
    void discardAll();
    bool closeConnectionDocuments(TConnection& connection) override;
    bool closeDocumentsBelow(const std::string& folderPath) override;
    std::vector<std::string> openPagePaths(const std::string& setupName) const override;
    // Selects line `line` (from 1) of the file's open page and shows it.
    void showLine(TFileNode& file, size_t line);

    // The active tab and its file (none on the list page).
    DocumentTab* activeTab() const;
    TFileNode* activeFile() const override;
    DocumentTab* tabOf(const TFileNode& file) const;
    // The menu that reopens the active page in another encoding.
    QMenu* encodingMenu() const { return m_encodingMenu; }
    // Find in the active page, for the window's Edit menu.
    QAction* findAction() const { return m_findAction; }

    // The modified pages, as the program keeps them when it is ended without
    // questions.
    std::vector<RecoveryCopy> recoveryCopies() const;
    // Puts a kept text into the file's open tab, as a modified page.
    void restoreText(TFileNode& file, const std::string& bytes);

    // Commands of the active tab.
    void save();
    void close();
    void preview();
    void find();
    // Closes the active page (asking to save it when modified) and opens it
    // again, reading its bytes in `encoding`.
    void reopenWithEncoding(PageEncoding encoding);
    // The ad tree's reaction to a node the user selected: its block is
    // selected in the editor and the status bar says what it is.
    void showAdNode(DocumentTab& tab, AdNode* node);
    // Shows what an ad command reports: boxes, status text, banner selection.
    void report(const AdCommandResult& result);
    // Which block of the selected banner's name the next jump shows.
    int& jumpCounter() { return m_jumpCounter; }

    // Another banner was selected: the next jump starts at its first block.
    void restartJumps() { m_jumpCounter = 1; }
    // The width of the ad tree in every page tab.
    int adTreeWidth() const { return m_adTreeWidth; }
    void setAdTreeWidth(int width);
    // A catalogue banner was added, changed (`oldName` its name before) or
    // removed: the blocks of the active page are rated again.
    void refreshAdNodes(const std::optional<std::string>& oldName, const TAdBanner* banner);

signals:
    void previewRequested(const QString& address);
    void commandStateChanged();
    // An ad command or the ad tree asks the banner list to select a row.
    void bannerRowRequested(int row);
    // A page was opened in a new tab.
    void tabOpened(pw::gui::DocumentTab* tab);
    // What the window's title names: the active page and its site (empty on
    // the list page).
    void pageTitleChanged(const QString& page);

private:
    // Asks whether to save a modified page: true to go on (saved or dropped).
    bool settleUnsaved(TFileNode& file, bool previewAfterwards);
    void removeTab(TFileNode& file);
    void showEncoding();
    QString pageTitle(const DocumentTab& tab) const;
    // The tab's caption (marked while the page has unsaved changes) and tooltip.
    void showTabState(DocumentTab& tab);
    // Builds the tab's ad tree anew from its text.
    void rescan(DocumentTab& tab, MarkerRepairs repairs);

    Workspace& m_workspace;
    int m_jumpCounter = 1; // which block of the banner's name the next jump shows
    // Pages the user asked to read in a given encoding, whatever the site says.
    std::map<const TFileNode*, PageEncoding> m_chosenEncodings;
    SiteFeedback& m_feedback;
    int m_adTreeWidth = 200;
    Widgets m_widgets;
    QAction* m_findAction = nullptr;
    QMenu* m_encodingMenu = nullptr;
};

} // namespace pw::gui

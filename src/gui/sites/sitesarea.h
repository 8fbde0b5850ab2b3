#pragma once

#include <QObject>

#include <memory>
#include <string>

class QComboBox;
class QModelIndex;
class QSplitter;
class QTabWidget;
class QToolButton;
class QTreeView;

namespace pw {
class SecureString;
class SiteFeedback;
class TSetup;
class TConnection;
class TDirNode;
class TFileNode;
class TNode;
} // namespace pw

namespace pw::gui {

class ActionList;
class ConnectionTreeModel;
class EmptyHint;
class OpenDocuments;
class FileListModel;
class TFmHosts;
struct Workspace;

// The sites area of the window: the site selector, the connection tree and
// the file list on the list page, and the connect, disconnect, reconnect,
// refresh, open and preview commands that work on them, plus the host list
// dialog. Documents are the documents area's: it is asked to close them and
// told which file to open.
class SitesArea : public QObject {
    Q_OBJECT
public:
    struct Widgets {
        QComboBox* setups; // CBSetups
        QWidget* listPage; // TSDirectory: the tree and the file list side by side
        QSplitter* listSplitter; // Splitter1
        QTreeView* tree; // TVConnected
        QTreeView* files; // LVFiles
        QTabWidget* pages; // PCMain, the window's; page 0 is the list page
        QToolButton* connectButton;
        QToolButton* disconnectButton;
        QToolButton* reconnectButton;
        QToolButton* hostsButton;
    };
    // `documents` is asked to close the pages of a connection or a folder
    // before it goes, and names the active page for a reconnect. The widgets
    // and the host list dialog (a child of `window`) are made here; `pages`
    // is the window's page control, whose first page the window fills with
    // the list page.
    SitesArea(Workspace& workspace, SiteFeedback& feedback, ActionList& actions, OpenDocuments& documents,
        QTabWidget* pages, QWidget* window);
    // What the window places: the selector and the four buttons on its tool
    // bar, the list page as the first page of PCMain.
    const Widgets& widgets() const { return m_widgets; }
    ~SitesArea() override;

    // Start-up: reads the site setups into the selector and selects the stored entry.
    void loadSetups();
    // Writes the setups (with the last folders of the open connections) into
    // the main settings store; the caller saves the file.
    void storeSetups();
    // Stores the setups and writes Pagewick.ini; false after an error message.
    bool saveSetupsFile();

    // Command state inputs.
    bool hasSetupSelected() const;
    bool hasTreeSelection() const;
    bool canReconnect() const;
    // The first selected entry of the file list, when a folder is selected.
    TNode* selectedEntry() const;

    // Connects the named setup, walks to the folder of `path` and selects it;
    // the file entry at `path`, or none.
    TFileNode* findFile(const std::string& setupName, const std::string& path);

    // A copy of the selected setup for connections of its own (the whole-site
    // dialog), with its password: an open connection's, or read or asked for
    // as a connection's is. Null when none is selected or the question was
    // cancelled.
    std::unique_ptr<TSetup> selectedSetupWithPassword();

    // Commands, also reachable by tests.
    void connectSite();
    void disconnectSite();
    void reconnectSite();
    void refreshFolder();
    void openEntry();
    void previewEntry();
    void editHosts();

signals:
    void openFileRequested(pw::TFileNode* file);
    void previewRequested(const QString& address);
    void commandStateChanged();

private:
    // The password of a connection about to open: read from where passwords
    // are kept, or asked for when it cannot be read or the setup asks each
    // time. A password not to be kept lands in `once`. False: cancelled.
    bool passwordForConnection(TSetup& setup, SecureString& once);

    bool listPageActive() const;
    // Brings both views in line with the core tree after one of its commands.
    void syncViews();
    void showSelection();
    void onTreeCurrentChanged(const QModelIndex& current, const QModelIndex& previous);
    void fillSelector(int selected);
    // The hint over the empty file list: register a server or folder first,
    // or connect to one registered.
    void showFirstStep();

    Workspace& m_workspace;
    SiteFeedback& m_feedback;
    Widgets m_widgets;
    OpenDocuments& m_documents;
    TFmHosts* m_hostsDialog;
    ConnectionTreeModel* m_treeModel = nullptr;
    FileListModel* m_fileModel = nullptr;
    EmptyHint* m_filesHint = nullptr;
    bool m_syncing = false;
};

} // namespace pw::gui

#pragma once

#include <QObject>

#include <functional>
#include <string>

class QComboBox;
class QModelIndex;
class QTabWidget;
class QToolButton;
class QTreeView;

namespace pw {
class SiteFeedback;
class TConnection;
class TDirNode;
class TFileNode;
class TNode;
} // namespace pw

namespace pw::gui {

class ActionList;
class ConnectionTreeModel;
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
        QComboBox* setups;
        QTreeView* tree;
        QTreeView* files;
        QTabWidget* pages; // PCMain; page 0 is the list page
        QToolButton* connectButton;
        QToolButton* disconnectButton;
        QToolButton* reconnectButton;
        QToolButton* hostsButton;
    };
    // Closes the documents of a connection, or those whose path begins with a
    // folder path, asking about unsaved changes; false when the user cancelled.
    struct DocumentHooks {
        std::function<bool(TConnection&)> closeConnectionDocuments;
        std::function<bool(const std::string& folderPath)> closeDocumentsBelow;
        std::function<TFileNode*()> activeDocument;
    };

    SitesArea(Workspace& workspace, SiteFeedback& feedback, ActionList& actions, const Widgets& widgets,
        QObject* parent = nullptr);
    ~SitesArea() override;

    void setDocumentHooks(DocumentHooks hooks) { m_hooks = std::move(hooks); }
    void setHostsDialog(TFmHosts* dialog) { m_hostsDialog = dialog; }

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
    bool listPageActive() const;
    // Brings both views in line with the core tree after one of its commands.
    void syncViews();
    void showSelection();
    void onTreeCurrentChanged(const QModelIndex& current, const QModelIndex& previous);
    void fillSelector(int selected);

    Workspace& m_workspace;
    SiteFeedback& m_feedback;
    Widgets m_widgets;
    DocumentHooks m_hooks;
    TFmHosts* m_hostsDialog = nullptr;
    ConnectionTreeModel* m_treeModel = nullptr;
    FileListModel* m_fileModel = nullptr;
    bool m_syncing = false;
};

} // namespace pw::gui

#pragma once

#include "sites/datetime.h"
#include "sites/feedback.h"
#include "sites/filelist.h"
#include "sites/ftpclient.h"
#include "sites/nodes.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pw {

// Opens the connection's FTP session (a new client replaces any old one) or
// checks its local folder, and sets Path and Name. On a certificate or host
// key that is not trusted yet, asks the user and, on Yes, trusts it in the
// connection's setup and in `stored` (when given) and tries once more.
bool ConnectSite(
    TConnection& connection, const FtpClientFactory& factory, SiteFeedback& feedback, TSetup* stored = nullptr);

// Reads the folder's entries into Children (listing order) and sets the paths
// of its subfolders. A failure leaves the folder unlisted and, for a remote
// folder, marks the connection for reconnection.
bool ListFolder(TDirNode& folder, SiteFeedback& feedback, const DateTime& now);

// The connection a node belongs to (the node itself for a top node).
TConnection* RootOf(TDirNode* node);

// The folder to select after connecting: the top folder, or with
// LastLoginPath the folder LastPath names, listing the folders on the way;
// where the way breaks off, the last folder reached.
TDirNode* WalkToLastPath(const TSetup& stored, TConnection& top, SiteFeedback& feedback, const DateTime& now);

// The name of a connection's top folder: its path after the last "\" or ":".
std::string ConnectionName(const std::string& path);
// The text of a connection's node in the tree: setup name + "[" + path + "]".
std::string ConnectionNodeText(const TConnection& connection);

// True when `node` is `folder` or lies below it.
bool IsWithin(const TNode* node, const TDirNode* folder);

// The open connections (top nodes of the tree, in the order opened), the
// tree's selection and the file list's folder and sort, with the commands that
// change them. The window draws the tree from it: a connection's child nodes
// are the subfolders of its listed folders (TDirNode::SubFolders), and the
// file list's rows are Shown()->Children in their order.
//
// The window owns one tree for its whole run, made with the libcurl factory
// and a SiteFeedback that sets the status bar text and repaints it at once
// (transfers block), shows messages in modal boxes and asks trust questions
// with Yes/No; CommandStateChanged refreshes the command state. Its handlers
// call Connect (with the selector's setup, then rebuild the tree view),
// Select (on a tree selection change; then repaint the file list), Disconnect
// (SaveSetups with Connections() and the settings file write in saveSetups,
// closing the connection's document tabs in closeDocuments), Reconnect with
// ReconnectTarget(the active tab's file), Refresh and ColumnClick. After a
// trust question answered Yes the stored setup holds the new fingerprint;
// the window saves the setups as usual.
class ConnectionTree {
public:
    using Clock = std::function<DateTime()>;
    // Closes the documents of a connection, asking about unsaved changes;
    // false when the user cancelled.
    using CloseConnectionDocuments = std::function<bool(TConnection&)>;
    // Closes the documents whose path begins with the folder path; false when
    // the user cancelled.
    using CloseDocumentsBelow = std::function<bool(const std::string& folderPath)>;

    ConnectionTree(FtpClientFactory factory, SiteFeedback& feedback, Clock clock = LocalNow);
    ~ConnectionTree();
    ConnectionTree(const ConnectionTree&) = delete;
    ConnectionTree& operator=(const ConnectionTree&) = delete;

    const std::vector<std::unique_ptr<TConnection>>& Connections() const { return m_connections; }
    TConnection* FindConnection(const TSetup& setup) const;

    // The tree's selected folder, and the folder the file list shows.
    TDirNode* Selected() const { return m_selected; }
    TDirNode* Shown() const { return m_shown; }
    FileListSort& Sort() { return m_sort; }

    // Connect command with the setup chosen in the selector (none: nullptr).
    // Returns the connection that is now open (a new one, or the one already
    // open for the setup), or none.
    TConnection* Connect(TSetup* selected);

    // The tree selection moves to `folder` (none clears it). Lists the folder
    // the first time; when that fails the file list stays as it was and false
    // is returned. Otherwise the file list shows the folder, sorted by the
    // current sort state.
    bool Select(TDirNode* folder);

    // Disconnect command on the connection of the selected node. `saveSetups`
    // stores the setups and writes the settings file first, so that the last
    // folders are kept. `listPageActive`: whether the list page is in front
    // (then the first remaining connection's last folder is selected).
    bool Disconnect(const std::function<void()>& saveSetups, const CloseConnectionDocuments& closeDocuments,
        bool listPageActive = true);

    // Reconnect command: only for a connection marked for reconnection. The
    // tree and its entries stay; only the client is renewed.
    bool Reconnect(TConnection* connection);
    // The connection the reconnect command works on: the active document's,
    // else the selected node's.
    TConnection* ReconnectTarget(const TFileNode* activeDocument) const;

    // Refresh command on the selected folder: closes the documents below it,
    // drops its entries and lists it again; shown in listing order.
    bool Refresh(const CloseDocumentsBelow& closeDocuments);

    // Column header click of the file list.
    void ColumnClick(int tag) { m_sort.ColumnClick(tag, m_shown); }

    bool ListFolder(TDirNode& folder) { return pw::ListFolder(folder, m_feedback, m_clock()); }
    TDirNode* WalkToLastPath(const TSetup& stored, TConnection& top)
    {
        return pw::WalkToLastPath(stored, top, m_feedback, m_clock());
    }

    // Closes every connection (shutdown; documents are closed before).
    void CloseAll();

private:
    FtpClientFactory m_factory;
    SiteFeedback& m_feedback;
    Clock m_clock;
    std::vector<std::unique_ptr<TConnection>> m_connections;
    TDirNode* m_selected = nullptr;
    TDirNode* m_shown = nullptr;
    FileListSort m_sort;
};

} // namespace pw

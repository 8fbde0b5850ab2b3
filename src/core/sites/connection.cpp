#include "sites/connection.h"

#include "sites/listing.h"
#include "sites/sitetexts.h"
#include "text/lines.h"

#include <algorithm>
#include <filesystem>

namespace pw {

namespace {

// Trusts what the user accepted: in the connection's copy and in the stored setup.
void RememberTrust(TConnection& connection, TSetup* stored, const std::string& fingerprint)
{
    const bool isSftp = connection.Setup->Protocol == SiteProtocol::Sftp;
    for (TSetup* setup : { connection.Setup.get(), stored }) {
        if (!setup)
            continue;
        (isSftp ? setup->TrustedHostKey : setup->TrustedCertificate) = fingerprint;
    }
}

FtpResult ConnectClient(
    TConnection& connection, const FtpClientFactory& factory, SiteFeedback& feedback, TSetup* stored)
{
    TSetup& setup = *connection.Setup;
    connection.FtpClient = factory(ClientSettingsOf(setup));
    FtpResult result = connection.FtpClient->Connect();
    if (result || result.failure != FtpFailure::UntrustedPeer || result.Fingerprint.empty())
        return result;

    const bool isSftp = setup.Protocol == SiteProtocol::Sftp;
    const std::string previous
        = result.FingerprintChanged ? (isSftp ? setup.TrustedHostKey : setup.TrustedCertificate) : std::string();
    const std::string question = isSftp
        ? sitetext::UnknownHostKey(setup.Host, result.Fingerprint, result.FingerprintChanged, previous)
        : sitetext::UntrustedCertificate(setup.Host, result.error, result.Fingerprint, previous);
    if (!feedback.ConfirmTrust(question, result.FingerprintChanged))
        return result;
    RememberTrust(connection, stored, result.Fingerprint);
    connection.FtpClient = factory(ClientSettingsOf(setup));
    return connection.FtpClient->Connect();
}

bool ConnectRemote(
    TConnection& connection, const FtpClientFactory& factory, SiteFeedback& feedback, TSetup* stored)
{
    TSetup& setup = *connection.Setup;
    if (!IsUsableHostName(setup.Host)) {
        feedback.Message(MessageType::Warning,
            sitetext::WithError(sitetext::CannotConnect(setup.Host), sitetext::HostNameUnusable(setup.Host)));
        feedback.Status(sitetext::ConnectFailedStatus(setup.Host));
        return false;
    }
    feedback.Status(sitetext::Connecting(setup.Host));
    if (FtpResult connected = ConnectClient(connection, factory, feedback, stored); !connected) {
        feedback.Message(
            MessageType::Warning, sitetext::WithError(sitetext::CannotConnect(setup.Host), connected.error));
        feedback.Status(sitetext::ConnectFailedStatus(setup.Host));
        return false;
    }
    if (!setup.IniPath.empty()) {
        if (FtpResult changed = connection.FtpClient->ChangeDir(setup.IniPath); !changed)
            feedback.Message(MessageType::Warning, sitetext::InitialFolderMissing(setup.IniPath));
    }
    std::string path;
    if (FtpResult current = connection.FtpClient->CurrentDir(path); !current || path.empty()) {
        const std::string error = current ? std::string(sitetext::kNoCurrentFolder) : current.error;
        feedback.Message(MessageType::Warning, sitetext::WithError(sitetext::CannotConnect(setup.Host), error));
        feedback.Status(sitetext::ConnectFailedStatus(setup.Host));
        return false;
    }
    connection.Path = path;
    setup.IniPath = path;
    return true;
}

bool ConnectLocal(TConnection& connection, SiteFeedback& feedback)
{
    const std::string& folder = connection.Setup->IniPath;
    std::error_code ec;
    if (folder.empty() || !std::filesystem::is_directory(folder, ec)) {
        feedback.Message(MessageType::Warning, sitetext::LocalFolderMissing(folder));
        return false;
    }
    connection.Path = folder;
    return true;
}

Status ListRemote(TDirNode& folder, TConnection& connection, SiteFeedback& feedback, const DateTime& now)
{
    folder.Children.emplace();
    if (FtpResult changed = connection.FtpClient->ChangeDir(folder.Path); !changed)
        return Status::Fail(changed.error);
    feedback.Status(sitetext::ListingStarted(folder.Path));
    std::string listing;
    if (FtpResult listed = connection.FtpClient->List(listing); !listed)
        return Status::Fail(listed.error);
    // Lines that cannot be read are named; the entries of the others are listed.
    if (const std::vector<ListingProblem> problems = ParseListing(folder, SplitLines(listing), now);
        !problems.empty())
        feedback.Message(MessageType::Warning,
            sitetext::WithError(sitetext::kListingLinesSkipped, ListingProblemsText(problems)));
    feedback.Status(sitetext::ListingOk(folder.Path));
    return Status::Ok();
}

} // namespace

bool ConnectSite(TConnection& connection, const FtpClientFactory& factory, SiteFeedback& feedback, TSetup* stored)
{
    if (!connection.Setup)
        return false;
    const bool connected = connection.Setup->Kind == skFtp ? ConnectRemote(connection, factory, feedback, stored)
                                                           : ConnectLocal(connection, feedback);
    if (!connected)
        return false;
    connection.Name = ConnectionName(connection.Path);
    connection.Parent = nullptr;
    return true;
}

bool ListFolder(TDirNode& folder, SiteFeedback& feedback, const DateTime& now)
{
    TConnection* connection = folder.Connection;
    if (!connection)
        return false;
    if (connection->FtpClient) {
        if (Status listed = ListRemote(folder, *connection, feedback, now); !listed) {
            feedback.Status(sitetext::ListingFailed(folder.Path));
            feedback.Message(MessageType::Warning, sitetext::WithError(sitetext::kListFailed, listed.error));
            folder.ClearChildren();
            connection->NeedsReconnect = true;
            feedback.CommandStateChanged();
            return false;
        }
    } else {
        folder.Children.emplace();
        std::vector<LocalSearchResult> results;
        if (Status searched = SearchLocalFolder(folder.Path, results); !searched) {
            feedback.Message(MessageType::Warning, std::string(sitetext::kLocalFolderFailed));
            folder.ClearChildren();
            return false;
        }
        for (const LocalSearchResult& result : results)
            AddLocalEntry(folder, result);
    }
    folder.TreeNodes.clear();
    for (const auto& child : *folder.Children) {
        if (child->IsFolder()) {
            auto& sub = static_cast<TDirNode&>(*child);
            sub.Path = ChildPath(folder.Path, sub.Name);
            folder.TreeNodes.push_back(&sub);
        }
    }
    return true;
}

TConnection* RootOf(TDirNode* node)
{
    return node ? node->Connection : nullptr;
}

TDirNode* WalkToLastPath(const TSetup& stored, TConnection& top, SiteFeedback& feedback, const DateTime& now)
{
    if (!stored.LastLoginPath)
        return &top;
    const std::string& target = stored.LastPath;
    // The nodes of the level being walked, and the position in it.
    std::vector<TDirNode*> level { &top };
    size_t index = 0;
    for (;;) {
        TDirNode* current = level[index];
        if (current->Path == target)
            return current;
        const std::string prefix
            = !current->Path.empty() && current->Path.back() == '/' ? current->Path : current->Path + "/";
        if (target.compare(0, prefix.size(), prefix) == 0) {
            if (!current->Children && !ListFolder(*current, feedback, now))
                return current;
            if (current->TreeNodes.empty())
                return current;
            level = current->TreeNodes;
            index = 0;
        } else if (index + 1 < level.size()) {
            ++index;
        } else {
            return current->Parent ? current->Parent : &top;
        }
    }
}

std::string ConnectionName(const std::string& path)
{
    const size_t cut = path.find_last_of("\\:");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string ConnectionNodeText(const TConnection& connection)
{
    return (connection.Setup ? connection.Setup->Name : std::string()) + "[" + connection.Path + "]";
}

bool IsWithin(const TNode* node, const TDirNode* folder)
{
    for (; node; node = node->Parent) {
        if (node == folder)
            return true;
    }
    return false;
}

ConnectionTree::ConnectionTree(FtpClientFactory factory, SiteFeedback& feedback, Clock clock)
    : m_factory(std::move(factory))
    , m_feedback(feedback)
    , m_clock(std::move(clock))
{
}

ConnectionTree::~ConnectionTree()
{
    CloseAll();
}

TConnection* ConnectionTree::FindConnection(const TSetup& setup) const
{
    for (const auto& connection : m_connections) {
        if (connection->Setup && connection->Setup->Name == setup.Name)
            return connection.get();
    }
    return nullptr;
}

TConnection* ConnectionTree::Connect(TSetup* selected)
{
    if (!selected) {
        m_feedback.Message(MessageType::Error, std::string(sitetext::kNoSetupSelected));
        return nullptr;
    }
    if (TConnection* open = FindConnection(*selected)) {
        m_feedback.Message(MessageType::Information, std::string(sitetext::kAlreadyConnected));
        if (!m_selected || RootOf(m_selected) != open)
            Select(open->LastNode);
        m_feedback.CommandStateChanged();
        return open;
    }

    auto connection = std::make_unique<TConnection>();
    connection->Setup = CopySetup(*selected);
    if (!ConnectSite(*connection, m_factory, m_feedback, selected)) {
        m_feedback.CommandStateChanged();
        return nullptr;
    }
    TConnection* added = connection.get();
    m_connections.push_back(std::move(connection));
    added->LastNode = added;
    Select(WalkToLastPath(*selected, *added));
    added->NeedsReconnect = false;
    m_feedback.CommandStateChanged();
    return added;
}

bool ConnectionTree::Select(TDirNode* folder)
{
    m_selected = folder;
    if (!folder)
        return true;
    if (!folder->Children && !ListFolder(*folder)) {
        // The file list stays as it was, but never with another site's files
        // under this site's node.
        if (m_shown && RootOf(m_shown) != RootOf(folder))
            m_shown = nullptr;
        return false;
    }
    m_shown = folder;
    if (TConnection* connection = RootOf(folder))
        connection->LastNode = folder;
    m_sort.Apply(*folder);
    return true;
}

bool ConnectionTree::Disconnect(
    const std::function<void()>& saveSetups, const CloseConnectionDocuments& closeDocuments, bool listPageActive)
{
    if (!m_selected) {
        m_feedback.Message(MessageType::Warning, std::string(sitetext::kSelectBeforeDisconnect));
        return false;
    }
    TConnection* connection = RootOf(m_selected);
    if (saveSetups)
        saveSetups();
    if (closeDocuments && !closeDocuments(*connection))
        return false;

    auto it = std::find_if(
        m_connections.begin(), m_connections.end(), [connection](const auto& c) { return c.get() == connection; });
    std::unique_ptr<TConnection> closing = std::move(*it);
    m_connections.erase(it);
    m_selected = nullptr;
    m_shown = nullptr;
    closing.reset();

    TDirNode* next = listPageActive && !m_connections.empty() ? m_connections.front()->LastNode : nullptr;
    Select(next);
    m_feedback.CommandStateChanged();
    return true;
}

TConnection* ConnectionTree::ReconnectTarget(const TFileNode* activeDocument) const
{
    if (activeDocument && activeDocument->Parent)
        return activeDocument->Parent->Connection;
    return RootOf(m_selected);
}

bool ConnectionTree::Reconnect(TConnection* connection)
{
    if (!connection || !connection->NeedsReconnect || !connection->Setup)
        return false;
    const std::string remembered = connection->Setup->IniPath;
    connection->Setup->IniPath = connection->Path;
    const bool connected = ConnectSite(*connection, m_factory, m_feedback);
    connection->Setup->IniPath = remembered;
    if (connected) {
        connection->NeedsReconnect = false;
        m_feedback.CommandStateChanged();
        m_feedback.Status(std::string(sitetext::kReconnectOk));
    } else {
        m_feedback.Status(std::string(sitetext::kReconnectFailed));
    }
    return connected;
}

bool ConnectionTree::Refresh(const CloseDocumentsBelow& closeDocuments)
{
    TDirNode* folder = m_selected;
    if (!folder)
        return false;
    if (closeDocuments && !closeDocuments(folder->Path))
        return false;
    // Nothing may keep pointing into the entries that go.
    TConnection* connection = RootOf(folder);
    if (connection && connection->LastNode && connection->LastNode != folder
        && IsWithin(connection->LastNode, folder))
        connection->LastNode = folder;
    if (m_shown && m_shown != folder && IsWithin(m_shown, folder))
        m_shown = folder;
    folder->ClearChildren();
    if (!ListFolder(*folder))
        return false;
    m_shown = folder;
    return true;
}

void ConnectionTree::CloseAll()
{
    m_selected = nullptr;
    m_shown = nullptr;
    m_connections.clear();
}

} // namespace pw

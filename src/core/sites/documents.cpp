#include "sites/documents.h"

#include "base/files.h"
#include "sites/sitetexts.h"

namespace pw {

bool CanOpen(const TNode& entry)
{
    return entry.Kind == nkText || entry.Kind == nkPage;
}

bool CanPreview(const TNode& entry)
{
    return entry.Kind != nkOther && entry.Kind != nkArchive;
}

TConnection* ConnectionOf(const TNode& entry)
{
    if (entry.IsFolder())
        return static_cast<const TDirNode&>(entry).Connection;
    return entry.Parent ? entry.Parent->Connection : nullptr;
}

bool LoadDocument(TFileNode& file, TDocumentText& text, TransferBuffer& buffer, SiteFeedback& feedback)
{
    TConnection* connection = ConnectionOf(file);
    if (!connection)
        return false;
    const std::string path = file.GetPath();
    if (connection->FtpClient) {
        if (!DownloadFile(*connection, path, buffer, feedback))
            return false;
        text.Lines = LineBuffer(buffer.Bytes);
        text.Break = LineBreak::CrLf;
    } else {
        std::string bytes;
        if (Status read = ReadWholeFile(path, bytes); !read) {
            feedback.Message(MessageType::Warning, sitetext::WithError(sitetext::kLocalOpenFailed, read.error));
            return false;
        }
        text.Break = FirstLineBreak(bytes);
        text.Lines = LineBuffer(std::move(bytes));
    }
    text.Modified = false;
    return true;
}

std::string UploadTempPath(const std::string& path)
{
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return folder + ".pagewick-upload-" + name;
}

namespace {

// Stores through the temporary name and the rename; `store` sends the bytes
// to a path, `again` readies them for a second store.
template <typename StoreTo, typename Again>
FtpResult StoreThroughTemp(FtpClient& client, const std::string& path, bool& direct, StoreTo store, Again again)
{
    direct = false;
    const std::string temp = UploadTempPath(path);
    if (FtpResult stored = store(temp); !stored)
        return stored;
    FtpResult renamed = client.Rename(temp, path);
    if (renamed || renamed.failure == FtpFailure::ConnectionLost)
        return renamed;
    // The server keeps the page and refuses the rename: store the page itself.
    client.Delete(temp);
    direct = true;
    if (std::string error; !again(error))
        return FtpResult::Fail(FtpFailure::Other, renamed.error + " (" + error + ")");
    return store(path);
}

} // namespace

FtpResult StoreReplacing(FtpClient& client, const std::string& path, const TransferBuffer& buffer, bool& direct)
{
    return StoreThroughTemp(
        client, path, direct, [&](const std::string& to) { return client.Store(to, buffer); },
        [](std::string&) { return true; });
}

FtpResult StoreReplacing(FtpClient& client, const std::string& path, TransferSource& source, bool& direct)
{
    return StoreThroughTemp(
        client, path, direct, [&](const std::string& to) { return client.Store(to, source); },
        [&](std::string& error) {
            if (source.Rewind())
                return true;
            error = source.Error();
            return false;
        });
}

namespace {

// The status texts and messages around a download, whatever it fills.
template <typename Fetch>
bool Download(TConnection& connection, const std::string& path, SiteFeedback& feedback, Fetch fetch)
{
    feedback.Status(sitetext::DownloadStarted(path));
    if (FtpResult fetched = fetch(); !fetched) {
        feedback.Status(sitetext::DownloadFailed(path));
        feedback.Message(MessageType::Warning, sitetext::WithError(sitetext::kDownloadFailed, fetched.error));
        connection.NeedsReconnect = true;
        feedback.CommandStateChanged();
        return false;
    }
    feedback.Status(sitetext::DownloadOk(path));
    return true;
}

} // namespace

bool DownloadFile(TConnection& connection, const std::string& path, TransferBuffer& buffer, SiteFeedback& feedback)
{
    return Download(connection, path, feedback, [&] { return connection.FtpClient->Retrieve(path, buffer); });
}

bool DownloadFile(TConnection& connection, const std::string& path, TransferSink& sink, SiteFeedback& feedback)
{
    return Download(connection, path, feedback, [&] { return connection.FtpClient->Retrieve(path, sink); });
}

namespace {

// The status texts and messages around an upload, whatever it sends.
template <typename Send>
bool Upload(TConnection& connection, const std::string& path, SiteFeedback& feedback, Send send)
{
    feedback.Status(sitetext::UploadStarted(path));
    bool direct = false;
    if (FtpResult stored = send(direct); !stored) {
        feedback.Status(sitetext::UploadFailed(path));
        feedback.Message(MessageType::Warning, sitetext::WithError(sitetext::kUploadFailed, stored.error));
        connection.NeedsReconnect = true;
        feedback.CommandStateChanged();
        return false;
    }
    feedback.Status(direct ? sitetext::UploadOkDirect(path) : sitetext::UploadOk(path));
    return true;
}

} // namespace

bool UploadFile(TConnection& connection, const std::string& path, const TransferBuffer& buffer,
                SiteFeedback& feedback)
{
    return Upload(connection, path, feedback,
                  [&](bool& direct) { return StoreReplacing(*connection.FtpClient, path, buffer, direct); });
}

bool UploadFile(TConnection& connection, const std::string& path, TransferSource& source, SiteFeedback& feedback)
{
    return Upload(connection, path, feedback,
                  [&](bool& direct) { return StoreReplacing(*connection.FtpClient, path, source, direct); });
}

bool SaveDocument(TFileNode& file, TDocumentText& text, TransferBuffer& buffer, SiteFeedback& feedback)
{
    if (!text.Modified)
        return true;
    TConnection* connection = ConnectionOf(file);
    if (!connection)
        return false;
    const std::string path = file.GetPath();
    if (connection->FtpClient) {
        buffer.Bytes = text.Lines.Join(LineBreak::CrLf);
        if (!UploadFile(*connection, path, buffer, feedback))
            return false;
    } else {
        if (Status written = WriteFileAtomically(path, text.Lines.Join(text.Break)); !written) {
            feedback.Message(MessageType::Warning, std::string(sitetext::kLocalSaveFailed));
            return false;
        }
    }
    text.Modified = false;
    return true;
}

std::string PreviewURL(const TNode& entry)
{
    const std::string path = entry.GetPath();
    const TConnection* connection = ConnectionOf(entry);
    if (!connection || !connection->Setup || connection->Setup->RootURL.empty())
        return path;
    std::string url = connection->Setup->RootURL;
    if (url.back() != '/')
        url += '/';
    std::string rest = path;
    const std::string& top = connection->Setup->IniPath;
    if (rest.compare(0, top.size(), top) == 0)
        rest = rest.substr(top.size(), 512);
    if (!rest.empty()) {
        if (rest.front() == '/')
            url += rest.substr(1, 512);
        else
            url += rest;
    }
    return url;
}

} // namespace pw

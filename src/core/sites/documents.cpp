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

bool LoadDocument(TFileNode& file, DocumentText& text, TransferBuffer& buffer, SiteFeedback& feedback)
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

std::optional<PageFile> LoadPage(
    TFileNode& file, std::optional<PageEncoding> forced, TransferBuffer& buffer, SiteFeedback& feedback)
{
    DocumentText text;
    if (!LoadDocument(file, text, buffer, feedback))
        return std::nullopt;
    return PageFile::FromLines(std::move(text.Lines), text.Break, forced);
}

namespace {

std::string BesidePath(const std::string& path, std::string_view prefix)
{
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return folder + std::string(prefix) + name;
}

} // namespace

std::string UploadTempPath(const std::string& path)
{
    return BesidePath(path, ".pagewick-upload-");
}

std::string UploadBackupPath(const std::string& path)
{
    return BesidePath(path, ".pagewick-backup-");
}

bool IsUploadTemporaryName(std::string_view name)
{
    return name.starts_with(".pagewick-upload-") || name.starts_with(".pagewick-backup-");
}

int ModeOfAttributes(std::string_view attributes)
{
    // Only a plain file's: a link's bits say nothing about its target.
    if (attributes.size() < 10 || attributes[0] != '-')
        return -1;
    int mode = 0;
    for (int i = 0; i < 9; ++i) {
        const char c = attributes[static_cast<size_t>(1 + i)];
        const char letter = "rwxrwxrwx"[i];
        const bool execute = i % 3 == 2;
        const char special = i == 2 || i == 5 ? 's' : 't';
        if (c == letter) {
            mode |= 0400 >> i;
        } else if (execute && (c == special || c == special - 'a' + 'A')) {
            mode |= (i == 2 ? 04000 : i == 5 ? 02000 : 01000);
            if (c == special)
                mode |= 0400 >> i;
        } else if (c != '-') {
            return -1;
        }
    }
    return mode;
}

namespace {

// The upload stays under `temp`; the page's content is at `page`.
FtpResult KeptApart(const std::string& page, const std::string& temp, const FtpResult& refusal)
{
    return FtpResult::Fail(
        refusal.failure, sitetext::WithError(sitetext::RenameRefused(page, temp), refusal.error));
}

// For servers that rename only to a free name: the page goes aside to the
// backup name, the upload into its place, and the backup away. Where a rename
// is refused, the page goes back to its name.
FtpResult ReplaceThroughBackup(
    FtpClient& client, const std::string& path, const std::string& temp, StoreReport& report)
{
    const std::string backup = UploadBackupPath(path);
    if (FtpResult aside = client.Rename(path, backup); !aside)
        return KeptApart(path, temp, aside);
    if (FtpResult into = client.Rename(temp, path); !into) {
        const bool restored = static_cast<bool>(client.Rename(backup, path));
        return KeptApart(restored ? path : backup, temp, into);
    }
    if (!client.Delete(backup))
        report.BackupLeft = backup;
    return FtpResult::Ok();
}

// Stores through the temporary name and the rename (or the backup way), or
// the page itself where the options say so; `store` sends the bytes to a path.
template <typename StoreTo>
FtpResult StoreThroughTemp(
    FtpClient& client, const std::string& path, const StoreOptions& options, StoreReport& report, StoreTo store)
{
    report = {};
    const std::string temp = UploadTempPath(path);
    if (options.Directly) {
        report.Direct = true;
        if (FtpResult stored = store(path); !stored)
            return stored;
    } else if (FtpResult stored = store(temp); !stored) {
        // A partial temporary file is of no use (the failure is what is
        // reported); a server that stopped answering cannot remove it.
        if (!stored.TimedOut)
            client.Delete(temp);
        return stored;
    } else if (FtpResult renamed = client.Rename(temp, path); !renamed) {
        if (renamed.failure != FtpFailure::Refused)
            return renamed;
        if (FtpResult replaced = ReplaceThroughBackup(client, path, temp, report); !replaced)
            return replaced;
    }
    if (options.Mode >= 0 && !client.SetMode(path, static_cast<unsigned>(options.Mode)))
        report.ModeRefused = true;
    return FtpResult::Ok();
}

} // namespace

FtpResult StoreReplacing(FtpClient& client, const std::string& path, const TransferBuffer& buffer,
    const StoreOptions& options, StoreReport& report)
{
    return StoreThroughTemp(
        client, path, options, report, [&](const std::string& to) { return client.Store(to, buffer); });
}

FtpResult StoreReplacing(FtpClient& client, const std::string& path, TransferSource& source,
    const StoreOptions& options, StoreReport& report)
{
    return StoreThroughTemp(
        client, path, options, report, [&](const std::string& to) { return client.Store(to, source); });
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

// The status texts and messages around an upload, whatever it sends; `mode`,
// when not negative, is given to the page afterwards.
template <typename Send>
bool Upload(TConnection& connection, const std::string& path, SiteFeedback& feedback, int mode, Send send)
{
    feedback.Status(sitetext::UploadStarted(path));
    StoreOptions options;
    options.Directly = connection.Setup && connection.Setup->StoreDirectly;
    options.Mode = mode;
    StoreReport report;
    if (FtpResult stored = send(options, report); !stored) {
        feedback.Status(sitetext::UploadFailed(path));
        feedback.Message(MessageType::Warning, sitetext::WithError(sitetext::kUploadFailed, stored.error));
        connection.NeedsReconnect = true;
        feedback.CommandStateChanged();
        return false;
    }
    std::string status = report.Direct ? sitetext::UploadOkStoredDirectly(path) : sitetext::UploadOk(path);
    if (report.ModeRefused)
        status += sitetext::ModeNotKeptNote(static_cast<unsigned>(mode));
    if (!report.BackupLeft.empty())
        status += sitetext::BackupLeftNote(report.BackupLeft);
    feedback.Status(status);
    return true;
}

} // namespace

bool UploadFile(TConnection& connection, const std::string& path, const TransferBuffer& buffer,
    SiteFeedback& feedback, int mode)
{
    return Upload(connection, path, feedback, mode, [&](const StoreOptions& options, StoreReport& report) {
        return StoreReplacing(*connection.FtpClient, path, buffer, options, report);
    });
}

bool UploadFile(
    TConnection& connection, const std::string& path, TransferSource& source, SiteFeedback& feedback, int mode)
{
    return Upload(connection, path, feedback, mode, [&](const StoreOptions& options, StoreReport& report) {
        return StoreReplacing(*connection.FtpClient, path, source, options, report);
    });
}

bool SaveDocument(TFileNode& file, DocumentText& text, TransferBuffer& buffer, SiteFeedback& feedback)
{
    if (!text.Modified)
        return true;
    TConnection* connection = ConnectionOf(file);
    if (!connection)
        return false;
    const std::string path = file.GetPath();
    if (connection->FtpClient) {
        buffer.Bytes = text.Lines.Join(LineBreak::CrLf);
        if (!UploadFile(*connection, path, buffer, feedback, ModeOfAttributes(file.Attributes)))
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

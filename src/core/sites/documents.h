#pragma once

#include "sites/feedback.h"
#include "sites/ftpclient.h"
#include "sites/nodes.h"
#include "text/linebuffer.h"
#include "text/pagefile.h"

#include <optional>
#include <string>
#include <vector>

namespace pw {

// The text of an open document as the editor holds it: its lines in one buffer.
struct DocumentText {
    LineBuffer Lines;
    bool Modified = false;
    // The break written after every line when saved: always CR LF for a page
    // from a server; a local file keeps the style it was read with.
    LineBreak Break = LineBreak::CrLf;
};

// Whether an entry can be opened in an editor tab (text files and pages).
bool CanOpen(const TNode& entry);
// Whether the preview command shows an entry (folders, text files, pages).
bool CanPreview(const TNode& entry);

// Fetches the file into the transfer buffer (remote) or reads it from disk,
// and fills `text` (unmodified). A failed download marks the connection for
// reconnection.
bool LoadDocument(TFileNode& file, DocumentText& text, TransferBuffer& buffer, SiteFeedback& feedback);
// The same, read as a page for an editor tab: in `forced` when given, else in
// the encoding its bytes show (PageFile::FromLines). None when the load fails.
std::optional<PageFile> LoadPage(
    TFileNode& file, std::optional<PageEncoding> forced, TransferBuffer& buffer, SiteFeedback& feedback);

// Saves a modified text (an unmodified one sends nothing). Remote: the page is
// replaced through a temporary file (see StoreReplacing) and keeps the mode
// its listing showed. A failure keeps the text modified and marks the
// connection for reconnection.
bool SaveDocument(TFileNode& file, DocumentText& text, TransferBuffer& buffer, SiteFeedback& feedback);

// The transfers behind LoadDocument and SaveDocument for a remote file, with
// their status texts and messages: a failure marks the connection for
// reconnection. UploadFile sends the buffer's bytes as they are; `mode`, when
// not negative, is given to the page afterwards (the status says when the
// server refuses it).
bool DownloadFile(
    TConnection& connection, const std::string& path, TransferBuffer& buffer, SiteFeedback& feedback);
bool UploadFile(TConnection& connection, const std::string& path, const TransferBuffer& buffer,
    SiteFeedback& feedback, int mode = -1);
// The same streaming: the sink takes the bytes as they arrive, the source gives
// them as they are sent.
bool DownloadFile(TConnection& connection, const std::string& path, TransferSink& sink, SiteFeedback& feedback);
bool UploadFile(TConnection& connection, const std::string& path, TransferSource& source, SiteFeedback& feedback,
    int mode = -1);

struct StoreOptions {
    bool Directly = false; // the setup's StoreDirectly
    int Mode = -1; // permission bits to give the page; negative: leave them
};

// What else happened on a successful store.
struct StoreReport {
    bool Direct = false; // the page itself was stored (StoreOptions::Directly)
    bool ModeRefused = false; // the server refused the mode
    std::string BackupLeft; // a backup of the old page that could not be deleted
};

// Stores the buffer as `path` without ever leaving a cut-off page: the bytes go
// to a temporary name in the same folder (UploadTempPath) that is renamed over
// the page. Where the server refuses that rename, the old page is renamed to
// UploadBackupPath, the upload into place, and the backup deleted; where it
// refuses that too, the page stays as it was, the upload stays under its
// temporary name, and the failure names both. A failed transfer removes its
// temporary file unless the server stopped answering. Only `options.Directly`
// stores the page itself.
FtpResult StoreReplacing(FtpClient& client, const std::string& path, const TransferBuffer& buffer,
    const StoreOptions& options, StoreReport& report);
// The same from a source, read once as it is sent.
FtpResult StoreReplacing(FtpClient& client, const std::string& path, TransferSource& source,
    const StoreOptions& options, StoreReport& report);
// The temporary and backup names used for `path`.
std::string UploadTempPath(const std::string& path);
// Whether a name is one of the temporary names of a safe upload (its copy on
// the way, or the page kept aside): never a page of the site.
bool IsUploadTemporaryName(std::string_view name);
std::string UploadBackupPath(const std::string& path);

// The permission bits of a plain file's Unix listing attribute text
// ("-rwxr-xr-x" gives 0755, with setuid, setgid and sticky bits); -1 for any
// other form and for links and folders.
int ModeOfAttributes(std::string_view attributes);

// The address the preview command shows for an entry.
std::string PreviewURL(const TNode& entry);

// The connection an entry belongs to.
TConnection* ConnectionOf(const TNode& entry);

} // namespace pw

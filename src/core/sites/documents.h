#pragma once

#include "sites/feedback.h"
#include "sites/ftpclient.h"
#include "sites/nodes.h"
#include "text/linebuffer.h"

#include <string>
#include <vector>

namespace pw {

// The text of an open document as the editor holds it: its lines in one buffer.
struct TDocumentText {
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
bool LoadDocument(TFileNode& file, TDocumentText& text, TransferBuffer& buffer, SiteFeedback& feedback);

// Saves a modified text (an unmodified one sends nothing). Remote: the text is
// written to a temporary file beside the page and renamed over it; where the
// server refuses the rename the page is stored directly and the status says
// so. A failure keeps the text modified and marks the connection for
// reconnection.
bool SaveDocument(TFileNode& file, TDocumentText& text, TransferBuffer& buffer, SiteFeedback& feedback);

// The transfers behind LoadDocument and SaveDocument for a remote file, with
// their status texts and messages: a failure marks the connection for
// reconnection. UploadFile sends the buffer's bytes as they are.
bool DownloadFile(TConnection& connection, const std::string& path, TransferBuffer& buffer, SiteFeedback& feedback);
bool UploadFile(TConnection& connection, const std::string& path, const TransferBuffer& buffer,
                SiteFeedback& feedback);
// The same streaming: the sink takes the bytes as they arrive, the source gives
// them as they are sent (and is rewound for a second store when the server
// refuses the rename).
bool DownloadFile(TConnection& connection, const std::string& path, TransferSink& sink, SiteFeedback& feedback);
bool UploadFile(TConnection& connection, const std::string& path, TransferSource& source, SiteFeedback& feedback);

// Stores the buffer as `path` through a temporary name in the same folder and
// a rename; falls back to storing `path` directly when the rename is refused
// (`direct` then tells so).
FtpResult StoreReplacing(FtpClient& client, const std::string& path, const TransferBuffer& buffer, bool& direct);
// The same from a source; the direct store needs a source that can rewind.
FtpResult StoreReplacing(FtpClient& client, const std::string& path, TransferSource& source, bool& direct);
// The temporary name used for `path`.
std::string UploadTempPath(const std::string& path);

// The address the preview command shows for an entry.
std::string PreviewURL(const TNode& entry);

// The connection an entry belongs to.
TConnection* ConnectionOf(const TNode& entry);

} // namespace pw

#pragma once

// Whole sites: a breadth-first walk over every page of a site (local folder,
// FTP, FTPS or SFTP), the inventory of their ad blocks, and runs that replace
// or remove blocks in every page, with backups, a journal to resume a broken
// run and a restore.
//
// Everything here is plain data and blocking calls meant for a worker thread:
// progress is reported through a callback (called on the walk's threads, one
// call at a time), a run is cancelled by setting the atomic flag it was given
// (from any thread), and the results come back as structs.

#include "base/result.h"
#include "catalogue/banner.h"
#include "pageads/adtree.h"
#include "sites/ftpclient.h"
#include "sites/runjournal.h"
#include "sites/setup.h"
#include "text/pageencoding.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pw {

// One entry of a folder as the walk sees it.
struct SiteEntry {
    enum Type { File, Folder, Link }; // Link: also any other entry that is not walked (pipes, devices)
    std::string Name;
    Type Kind = File;
    std::int64_t Size = -1;
    // What tells that the file changed: the listing's date (remote) or the
    // modification time in nanoseconds (local).
    std::string Stamp;
    int Mode = -1; // permission bits, -1 when not known
    // Tells a folder reached twice under two names (local: device and inode);
    // empty where the server gives none, then the path does.
    std::string Identity;
};

// One connection to a site: listings, whole-page reads and safe stores. Each
// walk thread has its own.
class SiteAccess {
public:
    virtual ~SiteAccess() = default;
    // Connects. `start` (empty: the setup's initial folder) is resolved to the
    // full path of the folder to walk.
    virtual FtpResult Open(const std::string& start, std::string& folder) = 0;
    virtual FtpResult List(const std::string& folder, std::vector<SiteEntry>& entries) = 0;
    // The whole file, within the transfer limits.
    virtual FtpResult Read(const std::string& path, std::string& bytes) = 0;
    // Replaces the file without ever leaving it cut off, giving it `mode`
    // when not negative.
    virtual FtpResult Write(const std::string& path, const std::string& bytes, int mode) = 0;
    // Removes a temporary file a broken store may have left for `path`.
    virtual void DropLeftovers(const std::string& path) = 0;
    // The entry of one file, as its folder lists it.
    virtual FtpResult Stat(const std::string& path, SiteEntry& entry);
    // Read, for a page that may be replaced. Where the connection can tell a
    // file's state without a listing, `entry`'s size and stamp become what it
    // saw as the page was read, in the form Restat gives them; the default
    // keeps the listing's.
    virtual FtpResult ReadForChange(const std::string& path, std::string& bytes, SiteEntry& entry);
    // The state of a file now, in the form `read` holds it (a listing's or
    // ReadForChange's): what is compared before the file is replaced.
    virtual FtpResult Restat(const std::string& path, const SiteEntry& read, SiteEntry& now);
};

using SiteAccessFactory = std::function<std::unique_ptr<SiteAccess>()>;

// A setup's connections: its local folder, or its server through `clients`.
SiteAccessFactory SiteAccessFor(const TSetup& setup, FtpClientFactory clients);

// A path below a folder, joined with one "/".
std::string SitePath(const std::string& folder, const std::string& relative);

// Why a name from a listing may not be walked (empty: it may): a name that is
// empty, "." or "..", holds "/" or a control character.
std::string UnsafeNameReason(const std::string& name);

struct SiteWalkOptions {
    std::string Folder; // where the walk starts; empty: the setup's initial folder
    // Page name endings, compared without case.
    std::vector<std::string> Endings { ".html", ".htm", ".shtml", ".php" };
    int Jobs = 4; // connections at once, 1 to 8
    PageCharset Charset = PageCharset::Auto;
    // Bounds against a hostile server: folders walked, and entries of one folder.
    size_t MaxFolders = 100000;
    size_t MaxEntries = 200000;
    size_t MaxDepth = 100; // folder levels below the walked one
    size_t MaxPages = 200000; // pages of one walk
};

// The largest page a walk reads, well below the limit of a single transfer: a
// server that sends a page without end costs at most this much a connection.
inline constexpr size_t kMaxSitePageBytes = size_t { 64 } << 20;

// "LIST" → {".html", ...}: the endings of a comma-separated list; false on an
// empty one.
bool ParseEndings(const std::string& list, std::vector<std::string>& endings);

struct SiteAdNode {
    size_t Line = 0; // line of the start marker, from 1 (0: not found)
    int Depth = 0; // 0 for a top node, 1 for a member
    TAdNodeStatus Status = nsUnlisted;
    std::string Text; // node text, page text
    std::string Banner; // the block's name as program text (no "[k]")
};

struct SitePage {
    std::string Path; // full path
    std::string Relative; // below the walked folder
    PageEncoding Encoding = PageEncoding::ShiftJis;
    std::vector<SiteAdNode> Nodes;
};

// Why a page was left alone, where the window words it in its own language;
// Other: only the error text tells.
enum class SiteProblemKind {
    Other,
    MarkersNeedRepair,
    ChangedOnServer,
    ChangedSinceRun,
    UnsafeName, // a name (or the walked folder) that cannot be walked safely
    WalkBound, // past a bound of the walk: folders, entries, depth or pages
    PageTooLarge, // past the walk's page limit
    RunBusy, // another run of the setup goes on
    JournalUnreadable, // a run's journal is missing, damaged or tampered with
    OutsideSetup, // a run's folder lies outside the setup's
    BackupFailed, // the page's old bytes could not be kept
};

struct SiteProblem {
    std::string Path;
    std::string Error;
    SiteProblemKind Kind = SiteProblemKind::Other;
};

struct SiteProgress {
    size_t PagesDone = 0;
    size_t PagesFound = 0;
    std::string Current;
};
using SiteProgressCallback = std::function<void(const SiteProgress&)>;

struct SiteScanResult {
    std::string Folder; // the walked folder
    std::vector<SitePage> Pages; // in byte order of their paths
    std::vector<SiteProblem> Problems; // in byte order of their paths
    int Connections = 0; // connections used (fewer than asked when the server refused more)
    bool Cancelled = false;
};

// Walks the site and rates every page's blocks against the catalogue.
SiteScanResult ScanSite(const SiteAccessFactory& access, const BannerList& catalogue,
    const SiteWalkOptions& options, const SiteProgressCallback& progress = {},
    const std::atomic<bool>* cancel = nullptr);

struct SiteUpdateOptions {
    std::vector<std::string> Replace; // banners (program text) whose changed blocks are replaced; empty: all
    std::vector<std::string> Delete; // banners whose blocks are removed
    bool DryRun = false;
    // The run's folder (backups and journal); not used by a dry run. A new
    // run makes it; a resumed run takes its walk settings from its journal.
    std::string RunFolder;
    bool Resume = false;
    // Full paths of pages to leave as they are (the window's open tabs): a
    // page here that the run would change is listed in Skipped, not written.
    std::vector<std::string> Skip;
    // Asked just before a page is stored, on the run's threads: true leaves
    // it as Skip does (a page opened in a tab while the run goes on).
    std::function<bool(const std::string& path)> SkipNow;
    // The pages the run is meant to change, where a plan counted them: kept
    // in the journal, so that a stopped run tells how far it got.
    size_t Planned = 0;
    // Called after a page was read and before it is stored (tests use it to
    // change the page behind the run's back).
    std::function<void(const std::string& path)> PageRead;
};

struct SitePageChange {
    std::string Path;
    int Replaced = 0;
    int Removed = 0;
};

struct SiteUpdateResult {
    std::string Folder;
    std::vector<SitePageChange> Changed; // pages written (or to be written by a dry run), in path order
    std::vector<SiteProblem> Problems; // in path order
    std::vector<std::string> Skipped; // pages of Skip that would have changed, in path order
    size_t AlreadyDone = 0; // pages a resumed run found written before
    int Connections = 0;
    bool Cancelled = false;
};

// Replaces and removes blocks in every page of the site. Each page changed is
// backed up in the run folder, noted in its journal, stored safely and noted
// as done; a page whose size or date changed since it was listed is left
// alone and reported.
SiteUpdateResult UpdateSite(const SiteAccessFactory& access, const BannerList& catalogue, SiteWalkOptions options,
    const SiteUpdateOptions& update, const SiteProgressCallback& progress = {},
    const std::atomic<bool>* cancel = nullptr);

// The edits of one page's bytes as the ad commands make them on its ad tree:
// every byte outside the changed blocks stays as it was. `scanNote` tells why
// a page is left alone (its markers need repair), else it is empty.
struct PageEdit {
    std::string Bytes;
    int Replaced = 0;
    int Removed = 0;
    std::string Problem;
};
PageEdit EditPageBlocks(std::string_view bytes, PageCharset charset, const BannerList& catalogue,
    const std::vector<std::string>& replace, const std::vector<std::string>& remove);

// Puts back the pages of a run where they are still what the run wrote.
// Progress counts the run's pages checked (PagesDone) of all it holds
// (PagesFound).
struct SiteRestoreResult {
    std::vector<std::string> Restored; // paths, in path order
    std::vector<SiteProblem> Problems;
    bool Cancelled = false;
};
SiteRestoreResult RestoreRun(const SiteAccessFactory& access, const std::string& runFolder, bool dryRun,
    const SiteProgressCallback& progress = {}, const std::atomic<bool>* cancel = nullptr);

} // namespace pw

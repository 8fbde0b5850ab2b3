#include "sites/sitewalk.h"

#include "base/files.h"
#include "pageads/adblock.h"
#include "pageads/adcommands.h"
#include "pageads/pageeditor.h"
#include "pageads/scanner.h"
#include "settings/settingsfolder.h"
#include "sites/documents.h"
#include "sites/listing.h"
#include "text/lines.h"
#include "text/pagefile.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>

namespace pw {

namespace {

FtpResult Refused(std::string error)
{
    return FtpResult::Fail(FtpFailure::Refused, std::move(error));
}

std::string ParentOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// Whether `folder` is `root` or a folder below it, as paths.
bool IsFolderBelow(std::string folder, std::string root)
{
    for (std::string* path : { &folder, &root })
        while (path->size() > 1 && path->back() == '/')
            path->pop_back();
    return folder == root || root == "/" || folder.starts_with(root + "/");
}

std::string NameOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// ---------------------------------------------------------------------------
// Connections

class RemoteSiteAccess : public SiteAccess {
public:
    RemoteSiteAccess(FtpClientFactory clients, FtpClientSettings settings, std::string initial, bool directly)
        : m_clients(std::move(clients))
        , m_settings(std::move(settings))
        , m_initial(std::move(initial))
        , m_directly(directly)
    {
    }
    ~RemoteSiteAccess() override
    {
        if (m_client && m_client->Connected())
            m_client->Quit();
    }

    FtpResult Open(const std::string& start, std::string& folder) override
    {
        if (m_client && m_client->Connected())
            m_client->Quit();
        m_client = m_clients(m_settings);
        if (FtpResult connected = m_client->Connect(); !connected)
            return connected;
        const std::string& target = start.empty() ? m_initial : start;
        if (!target.empty()) {
            if (FtpResult changed = m_client->ChangeDir(target); !changed)
                return changed;
        }
        if (FtpResult current = m_client->CurrentDir(folder); !current)
            return current;
        if (folder.empty())
            return Refused("the server named no current folder");
        return FtpResult::Ok();
    }

    FtpResult List(const std::string& folder, std::vector<SiteEntry>& entries) override
    {
        entries.clear();
        if (FtpResult changed = m_client->ChangeDir(folder); !changed)
            return changed;
        std::string text;
        if (FtpResult listed = m_client->List(text); !listed)
            return listed;
        TDirNode node;
        node.Children.emplace();
        // Lines that cannot be read fail the listing, with the entries of the others.
        const std::vector<ListingProblem> problems = ParseListing(node, SplitLines(text), LocalNow());
        for (const auto& child : *node.Children) {
            SiteEntry entry;
            entry.Name = child->Name;
            if (!child->Attributes.empty() && child->Attributes[0] == 'l')
                entry.Kind = SiteEntry::Link;
            else if (child->IsFolder())
                entry.Kind = SiteEntry::Folder;
            else
                entry.Size = static_cast<const TFileNode&>(*child).Size;
            entry.Stamp = IsoMinuteText(child->Date);
            entry.Mode = ModeOfAttributes(child->Attributes);
            entries.push_back(std::move(entry));
        }
        if (!problems.empty())
            return FtpResult::Fail(FtpFailure::Other, ListingProblemsText(problems));
        return FtpResult::Ok();
    }

    FtpResult Read(const std::string& path, std::string& bytes) override
    {
        FtpResult result = m_client->Retrieve(path, m_buffer);
        TakeBuffer(result, bytes);
        return result;
    }

    FtpResult Write(const std::string& path, const std::string& bytes, int mode) override
    {
        m_buffer.Bytes = bytes;
        StoreReport report;
        FtpResult stored = StoreReplacing(*m_client, path, m_buffer, { m_directly, mode }, report);
        m_buffer.Bytes.clear();
        m_buffer.Bytes.shrink_to_fit();
        return stored;
    }

    void DropLeftovers(const std::string& path) override { (void)m_client->Delete(UploadTempPath(path)); }

    // Where the server tells file times (MDTM, or SFTP's stat), a page's
    // state is asked on the control connection: a listing per page costs a
    // data connection and gives the time to the minute only.
    FtpResult ReadForChange(const std::string& path, std::string& bytes, SiteEntry& entry) override
    {
        FileStamp stamp;
        FtpResult result = m_client->RetrieveStamped(path, m_buffer, stamp);
        if (!TakeBuffer(result, bytes))
            return result;
        if (stamp.Modified >= 0) {
            entry.Size = stamp.Size;
            entry.Stamp = StampText(stamp);
        }
        return result;
    }

    FtpResult Restat(const std::string& path, const SiteEntry& read, SiteEntry& now) override
    {
        if (!read.Stamp.starts_with(kStampPrefix))
            return Stat(path, now);
        FileStamp stamp;
        if (FtpResult asked = m_client->Stamp(path, stamp); !asked)
            return asked;
        now = read;
        now.Size = stamp.Size;
        now.Stamp = StampText(stamp);
        return FtpResult::Ok();
    }

private:
    // Hands a read's bytes over. After a failed read neither string keeps its
    // memory: a page cut off at the size limit must not stay held while the
    // read is tried again.
    bool TakeBuffer(const FtpResult& result, std::string& bytes)
    {
        if (!result) {
            std::string().swap(bytes);
            std::string().swap(m_buffer.Bytes);
            return false;
        }
        bytes.swap(m_buffer.Bytes);
        m_buffer.Bytes.clear();
        return true;
    }

    static constexpr std::string_view kStampPrefix = "time ";
    static std::string StampText(const FileStamp& stamp)
    {
        return std::string(kStampPrefix) + std::to_string(stamp.Modified);
    }

    FtpClientFactory m_clients;
    FtpClientSettings m_settings;
    std::string m_initial;
    bool m_directly;
    std::unique_ptr<FtpClient> m_client;
    TransferBuffer m_buffer;
};

SiteEntry LocalEntry(const std::string& name, const struct stat& info)
{
    SiteEntry entry;
    entry.Name = name;
    // Devices, pipes and sockets are passed over as links are: reading a pipe
    // would wait for ever.
    entry.Kind = S_ISDIR(info.st_mode) ? SiteEntry::Folder
        : S_ISREG(info.st_mode)        ? SiteEntry::File
                                       : SiteEntry::Link;
    entry.Size = info.st_size;
    entry.Stamp
        = std::to_string(static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec);
    entry.Mode = static_cast<int>(info.st_mode & 07777);
    entry.Identity = std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
    return entry;
}

class LocalSiteAccess : public SiteAccess {
public:
    LocalSiteAccess(std::string initial, size_t maxFileBytes)
        : m_initial(std::move(initial))
        , m_maxFileBytes(maxFileBytes)
    {
    }

    FtpResult Open(const std::string& start, std::string& folder) override
    {
        folder = start.empty() ? m_initial : start;
        while (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        struct stat info { };
        if (folder.empty() || ::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
            return Refused("no such folder");
        return FtpResult::Ok();
    }

    FtpResult List(const std::string& folder, std::vector<SiteEntry>& entries) override
    {
        entries.clear();
        DIR* dir = ::opendir(folder.c_str());
        if (!dir)
            return Refused(std::strerror(errno));
        while (const dirent* item = ::readdir(dir)) {
            const std::string name = item->d_name;
            if (name == "." || name == "..")
                continue;
            struct stat info { };
            if (::fstatat(::dirfd(dir), item->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            entries.push_back(LocalEntry(name, info));
        }
        ::closedir(dir);
        return FtpResult::Ok();
    }

    FtpResult Read(const std::string& path, std::string& bytes) override
    {
        bytes.clear();
        struct stat info { };
        if (::lstat(path.c_str(), &info) != 0)
            return Refused(std::strerror(errno));
        if (static_cast<uint64_t>(info.st_size) > m_maxFileBytes)
            return Refused("the file is larger than " + std::to_string(m_maxFileBytes) + " bytes");
        if (Status read = ReadWholeFile(path, bytes); !read)
            return Refused(read.error);
        return FtpResult::Ok();
    }

    // Writes only inside the setup's folder as it really is, and never
    // through a link: a link or a linked folder put in place of what the walk
    // saw must not carry a store elsewhere.
    FtpResult Write(const std::string& path, const std::string& bytes, int mode) override
    {
        (void)mode; // the file keeps its own mode
        struct stat info { };
        if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode))
            return Refused("a link stands where the page was; not written");
        if (!Inside(ParentOf(path)))
            return Refused("outside the setup's folder " + m_initial + "; not written");
        if (Status written = WriteFileAtomically(path, bytes); !written)
            return Refused(written.error);
        return FtpResult::Ok();
    }

    // A run that was killed left its temporary copy of the page beside it.
    void DropLeftovers(const std::string& path) override
    {
        RemoveAbandonedTemporaryFiles(ParentOf(path), kIdleTemporarySeconds);
    }

    FtpResult Stat(const std::string& path, SiteEntry& entry) override
    {
        struct stat info { };
        if (::lstat(path.c_str(), &info) != 0)
            return Refused(std::strerror(errno));
        entry = LocalEntry(NameOf(path), info);
        return FtpResult::Ok();
    }

private:
    // Long enough for a live save to have locked its temporary file.
    static constexpr int kIdleTemporarySeconds = 2;

    bool Inside(const std::string& folder)
    {
        if (m_realInitial.empty()) {
            char* real = ::realpath(m_initial.c_str(), nullptr);
            if (!real)
                return false;
            m_realInitial = real;
            std::free(real);
        }
        char* real = ::realpath(folder.c_str(), nullptr);
        if (!real)
            return false;
        const std::string inside = real;
        std::free(real);
        return inside == m_realInitial || m_realInitial == "/" || inside.starts_with(m_realInitial + "/");
    }

    std::string m_initial;
    std::string m_realInitial;
    size_t m_maxFileBytes;
};

// ---------------------------------------------------------------------------
// Pages as lines with the exact breaks they were read with

struct EditablePage {
    std::vector<std::string> Lines;
    std::vector<std::string> Breaks; // the bytes after each line ("" after an unterminated last one)
    std::string NewBreak = "\r\n"; // for lines the commands add: the page's first break
    PageEncoding Encoding = PageEncoding::ShiftJis;
    bool ByteOrderMark = false;

    std::string Bytes() const
    {
        std::string out;
        if (ByteOrderMark)
            out = kUtf8ByteOrderMark;
        for (size_t i = 0; i < Lines.size(); ++i)
            out.append(Lines[i]).append(Breaks[i]);
        return out;
    }
};

// Splits at CR LF, lone LF and lone CR as the editors do, keeping each break.
EditablePage SplitPage(std::string_view bytes, PageCharset charset)
{
    EditablePage page;
    page.Encoding = ResolvePageEncoding(charset, bytes);
    if (page.Encoding == PageEncoding::Utf8 && bytes.starts_with(kUtf8ByteOrderMark)) {
        page.ByteOrderMark = true;
        bytes.remove_prefix(kUtf8ByteOrderMark.size());
    }
    bool firstBreak = true;
    size_t start = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n')
            continue;
        const size_t length = bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n' ? 2 : 1;
        page.Lines.emplace_back(bytes.substr(start, i - start));
        page.Breaks.emplace_back(bytes.substr(i, length));
        if (firstBreak) {
            page.NewBreak = page.Breaks.back();
            firstBreak = false;
        }
        i += length - 1;
        start = i + 1;
    }
    if (start < bytes.size()) {
        page.Lines.emplace_back(bytes.substr(start));
        page.Breaks.emplace_back();
    }
    return page;
}

// Takes the editor's lines after a command into the page: the lines the
// command left alone keep their breaks, the lines it wrote get the page's.
void TakeChange(EditablePage& page, const PageEditor& editor)
{
    std::vector<std::string> now;
    now.reserve(editor.LineCount());
    for (size_t line = 1; line <= editor.LineCount(); ++line)
        now.emplace_back(editor.LineText(line));
    const std::vector<std::string>& old = page.Lines;
    size_t prefix = 0;
    while (prefix < old.size() && prefix < now.size() && old[prefix] == now[prefix])
        ++prefix;
    size_t suffix = 0;
    while (suffix < old.size() - prefix && suffix < now.size() - prefix
        && old[old.size() - 1 - suffix] == now[now.size() - 1 - suffix])
        ++suffix;
    std::vector<std::string> breaks(page.Breaks.begin(), page.Breaks.begin() + static_cast<long>(prefix));
    const size_t written = now.size() - prefix - suffix;
    const size_t replaced = old.size() - prefix - suffix;
    // Lines written where lines stood take the breaks those had: the first
    // one's inside, the last one's at the end (none after a last line that
    // had none); lines only inserted take the page's first break.
    const std::string& inner = replaced > 0 ? page.Breaks[prefix] : page.NewBreak;
    for (size_t i = 0; i < written; ++i)
        breaks.push_back(inner);
    if (written > 0 && replaced > 0)
        breaks.back() = page.Breaks[prefix + replaced - 1];
    breaks.insert(breaks.end(), page.Breaks.end() - static_cast<long>(suffix), page.Breaks.end());
    page.Lines = std::move(now);
    page.Breaks = std::move(breaks);
}

// The banner name of a node text: the text without a "[k]" suffix.
std::string NodeName(const std::string& text)
{
    if (text.empty() || text.back() != ']')
        return text;
    const size_t open = text.rfind('[');
    if (open == std::string::npos || open + 2 > text.size() - 1)
        return text;
    for (size_t i = open + 1; i + 1 < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9')
            return text;
    return text.substr(0, open);
}

struct ScannedPage {
    EditablePage Page;
    MemoryPageEditor Editor;
    AdTree Tree;
    AdPage Ads { Editor, Tree, PageEncoding::ShiftJis };
    bool Repaired = false;
};

void ScanPage(ScannedPage& scanned, std::string_view bytes, PageCharset charset, const BannerList& catalogue)
{
    scanned.Page = SplitPage(bytes, charset);
    scanned.Ads.Encoding = scanned.Page.Encoding;
    scanned.Editor.SetLines(scanned.Page.Lines);
    scanned.Editor.SetModified(false);
    ScanAdBlocks(scanned.Ads, catalogue);
    scanned.Repaired = scanned.Editor.LineCount() != scanned.Page.Lines.size();
    for (size_t i = 0; !scanned.Repaired && i < scanned.Page.Lines.size(); ++i)
        scanned.Repaired = scanned.Editor.LineText(i + 1) != scanned.Page.Lines[i];
}

bool Contains(const std::vector<std::string>& names, const std::string& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

const TAdBanner* FindBanner(const BannerList& catalogue, const std::string& name)
{
    for (const auto& row : catalogue.Rows)
        if (row->SpaceName == name)
            return row.get();
    return nullptr;
}

// ---------------------------------------------------------------------------
// Journal

std::string HashText(std::string_view bytes)
{
    std::uint64_t hash = 1469598103934665603ULL;
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 1099511628211ULL;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

// Keeps a page's old bytes in the run's folder. A backup is never replaced:
// one already kept (a run killed before it noted the page) must hold the
// same bytes.
Status KeepBackup(const std::string& backup, const std::string& bytes)
{
    if (Status made = MakePrivateFolders(ParentOf(backup)); !made)
        return made;
    Status saved = WriteNewFile(backup, bytes);
    if (saved)
        return saved;
    std::string kept;
    if (ReadWholeFile(backup, kept) && kept == bytes)
        return Status::Ok();
    return saved;
}

// A run reads and writes only below the setup's own folder, whatever its
// journal names.
std::optional<SiteProblem> CheckRunFolder(SiteAccess& access, const std::string& folder)
{
    std::string site;
    if (FtpResult opened = access.Open({}, site); !opened)
        return SiteProblem { folder, opened.error };
    if (!IsFolderBelow(folder, site))
        return SiteProblem { folder, "outside the setup's folder " + site + "; the run is not taken up",
            SiteProblemKind::OutsideSetup };
    return std::nullopt;
}

// ---------------------------------------------------------------------------
// The walk

using PageHandler = std::function<void(SiteAccess& access, const std::string& path, const std::string& relative,
    const SiteEntry& entry, std::string& bytes)>;

bool EndsWithAny(const std::string& name, const std::vector<std::string>& endings)
{
    for (const std::string& ending : endings) {
        if (name.size() < ending.size())
            continue;
        bool same = true;
        for (size_t i = 0; i < ending.size() && same; ++i) {
            const char a = name[name.size() - ending.size() + i];
            const char b = ending[i];
            same = (a >= 'A' && a <= 'Z' ? a + 32 : a) == (b >= 'A' && b <= 'Z' ? b + 32 : b);
        }
        if (same)
            return true;
    }
    return false;
}

class Walker {
public:
    Walker(const SiteAccessFactory& factory, const SiteWalkOptions& options, const SiteProgressCallback& progress,
        const std::atomic<bool>* cancel)
        : m_factory(factory)
        , m_options(options)
        , m_progress(progress)
        , m_cancel(cancel)
    {
    }

    void Problem(const std::string& path, const std::string& error, SiteProblemKind kind = SiteProblemKind::Other)
    {
        std::lock_guard lock(m_mutex);
        m_problems.push_back({ path, error, kind });
    }

    // Walks everything; false when the first connection failed (reported).
    bool Run(const PageHandler& handler)
    {
        m_handler = &handler;
        std::unique_ptr<SiteAccess> first = m_factory();
        if (FtpResult opened = first->Open(m_options.Folder, m_root); !opened) {
            m_problems.push_back({ m_options.Folder, opened.error });
            return false;
        }
        // The folder goes into the run's journal and into every path.
        if (!UnsafeJournalField(m_root).empty()) {
            m_problems.push_back(
                { m_options.Folder, "the server named a folder holding a control character; not walked",
                    SiteProblemKind::UnsafeName });
            return false;
        }
        m_connections = 1;
        m_folders.push_back({ true, m_root, {}, {} });
        m_seen.insert(m_root);
        const int jobs = std::clamp(m_options.Jobs, 1, 8);
        std::vector<std::thread> threads;
        for (int i = 1; i < jobs; ++i)
            threads.emplace_back([this] { WorkOnOwnConnection(); });
        Work(*first);
        for (std::thread& thread : threads)
            thread.join();
        return true;
    }

    const std::string& Root() const { return m_root; }
    std::vector<SiteProblem> TakeProblems()
    {
        std::sort(m_problems.begin(), m_problems.end(),
            [](const SiteProblem& a, const SiteProblem& b) { return a.Path < b.Path; });
        return std::move(m_problems);
    }
    int Connections() const { return m_connections; }
    // Pages are read as pages that may be replaced (ReadForChange).
    void ReadForChange() { m_forChange = true; }
    bool Cancelled() const { return m_cancel && m_cancel->load(); }

private:
    struct Task {
        bool Folder = false;
        std::string Path;
        std::string Relative;
        SiteEntry Entry;
    };

    void WorkOnOwnConnection()
    {
        std::unique_ptr<SiteAccess> access = m_factory();
        std::string folder;
        // A server that takes no more connections (421 and the like) is used
        // with those it took.
        if (!access->Open(m_root, folder))
            return;
        {
            std::lock_guard lock(m_mutex);
            ++m_connections;
        }
        Work(*access);
    }

    void Work(SiteAccess& access)
    {
        for (;;) {
            Task task;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [this] { return !Idle() || m_busy == 0 || Cancelled(); });
                if (Cancelled() || Idle()) {
                    m_wake.notify_all();
                    return;
                }
                // Pages found are read before more folders are listed, so
                // that a wide tree never has more than a few folders' pages
                // waiting.
                std::deque<Task>& queue = m_pages.empty() ? m_folders : m_pages;
                task = std::move(queue.front());
                queue.pop_front();
                ++m_busy;
            }
            if (task.Folder)
                WalkFolder(access, task);
            else
                ReadPage(access, task);
            {
                std::lock_guard lock(m_mutex);
                --m_busy;
            }
            m_wake.notify_all();
        }
    }

    // Runs a call again on a new connection when the old one was lost.
    template <typename Call> FtpResult WithReconnect(SiteAccess& access, Call call)
    {
        FtpResult result = call();
        if (result || result.failure != FtpFailure::ConnectionLost || Cancelled())
            return result;
        std::string folder;
        if (!access.Open(m_root, folder))
            return result;
        return call();
    }

    void WalkFolder(SiteAccess& access, const Task& task)
    {
        std::vector<SiteEntry> entries;
        if (FtpResult listed = WithReconnect(access, [&] { return access.List(task.Path, entries); }); !listed) {
            Problem(task.Path, listed.error);
            // A listing with lines that could not be read still gives the others.
            if (entries.empty())
                return;
        }
        if (entries.size() > m_options.MaxEntries) {
            Problem(task.Path, "more than " + std::to_string(m_options.MaxEntries) + " entries; the rest skipped",
                SiteProblemKind::WalkBound);
            entries.resize(m_options.MaxEntries);
        }
        std::lock_guard lock(m_mutex);
        for (SiteEntry& entry : entries) {
            if (entry.Name == "." || entry.Name == "..")
                continue;
            const std::string path = SitePath(task.Path, entry.Name);
            if (const std::string reason = UnsafeNameReason(entry.Name); !reason.empty()) {
                m_problems.push_back({ path, reason, SiteProblemKind::UnsafeName });
                continue;
            }
            // Links are not followed, to folders or to pages: storing over a
            // link would replace the link itself. A store's temporary copy
            // (one a killed run left, or one going on) is no page.
            if (entry.Kind == SiteEntry::Link || IsUploadTemporaryName(entry.Name))
                continue;
            const std::string relative = task.Relative.empty() ? entry.Name : task.Relative + "/" + entry.Name;
            if (entry.Kind == SiteEntry::Folder) {
                if (static_cast<size_t>(std::count(relative.begin(), relative.end(), '/')) >= m_options.MaxDepth) {
                    m_problems.push_back(
                        { path, "deeper than " + std::to_string(m_options.MaxDepth) + " folders; not walked",
                            SiteProblemKind::WalkBound });
                    continue;
                }
                const std::string key = entry.Identity.empty() ? path : entry.Identity;
                if (!m_seen.insert(key).second)
                    continue;
                if (m_seen.size() > m_options.MaxFolders) {
                    if (!m_tooManyFolders)
                        m_problems.push_back({ path,
                            "more than " + std::to_string(m_options.MaxFolders) + " folders; the rest skipped",
                            SiteProblemKind::WalkBound });
                    m_tooManyFolders = true;
                    continue;
                }
                m_folders.push_back({ true, path, relative, std::move(entry) });
            } else if (EndsWithAny(entry.Name, m_options.Endings)) {
                if (m_state.PagesFound >= m_options.MaxPages) {
                    if (!m_tooManyPages)
                        m_problems.push_back(
                            { path, "more than " + std::to_string(m_options.MaxPages) + " pages; the rest skipped",
                                SiteProblemKind::WalkBound });
                    m_tooManyPages = true;
                    continue;
                }
                m_pages.push_back({ false, path, relative, std::move(entry) });
                ++m_state.PagesFound;
            }
        }
    }

    void ReadPage(SiteAccess& access, const Task& task)
    {
        std::string bytes;
        SiteEntry entry = task.Entry;
        const auto read = [&] {
            return m_forChange ? access.ReadForChange(task.Path, bytes, entry) : access.Read(task.Path, bytes);
        };
        if (entry.Size > static_cast<std::int64_t>(kMaxSitePageBytes))
            Problem(task.Path, "larger than " + std::to_string(kMaxSitePageBytes >> 20) + " MB; not read",
                SiteProblemKind::PageTooLarge);
        else if (FtpResult done = WithReconnect(access, read); !done)
            Problem(task.Path, done.error);
        else
            (*m_handler)(access, task.Path, task.Relative, entry, bytes);
        std::lock_guard lock(m_mutex);
        ++m_state.PagesDone;
        m_state.Current = task.Path;
        if (m_progress)
            m_progress(m_state);
    }

    const SiteAccessFactory& m_factory;
    const SiteWalkOptions& m_options;
    const SiteProgressCallback& m_progress;
    const std::atomic<bool>* m_cancel;
    const PageHandler* m_handler = nullptr;
    bool m_forChange = false;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool Idle() const { return m_pages.empty() && m_folders.empty(); }

    std::deque<Task> m_folders;
    std::deque<Task> m_pages;
    int m_busy = 0;
    std::set<std::string> m_seen;
    bool m_tooManyFolders = false;
    bool m_tooManyPages = false;
    std::vector<SiteProblem> m_problems;
    SiteProgress m_state;
    std::string m_root;
    int m_connections = 0;
};

} // namespace

FtpResult SiteAccess::ReadForChange(const std::string& path, std::string& bytes, SiteEntry& entry)
{
    (void)entry;
    return Read(path, bytes);
}

FtpResult SiteAccess::Restat(const std::string& path, const SiteEntry& read, SiteEntry& now)
{
    (void)read;
    return Stat(path, now);
}

FtpResult SiteAccess::Stat(const std::string& path, SiteEntry& entry)
{
    std::vector<SiteEntry> entries;
    if (FtpResult listed = List(ParentOf(path), entries); !listed)
        return listed;
    const std::string name = NameOf(path);
    for (SiteEntry& candidate : entries) {
        if (candidate.Name == name) {
            entry = std::move(candidate);
            return FtpResult::Ok();
        }
    }
    return Refused("no longer on the server");
}

SiteAccessFactory SiteAccessFor(const TSetup& setup, FtpClientFactory clients)
{
    if (setup.Kind != skFtp) {
        return [initial = setup.IniPath] {
            return std::unique_ptr<SiteAccess>(new LocalSiteAccess(initial, kMaxSitePageBytes));
        };
    }
    FtpClientSettings settings = ClientSettingsOf(setup);
    settings.Limits.MaxFileBytes = std::min(settings.Limits.MaxFileBytes, kMaxSitePageBytes);
    return [clients = std::move(clients), settings = std::move(settings), initial = setup.IniPath,
               directly = setup.StoreDirectly] {
        return std::unique_ptr<SiteAccess>(new RemoteSiteAccess(clients, settings, initial, directly));
    };
}

std::string SitePath(const std::string& folder, const std::string& relative)
{
    if (folder.empty())
        return relative;
    return folder.back() == '/' ? folder + relative : folder + "/" + relative;
}

std::string UnsafeNameReason(const std::string& name)
{
    if (name.empty() || name == "." || name == "..")
        return "an entry named \"" + name + "\" skipped";
    if (name.find('/') != std::string::npos)
        return "a name holding \"/\" skipped";
    for (char ch : name)
        if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F)
            return "a name holding a control character skipped";
    return {};
}

bool ParseEndings(const std::string& list, std::vector<std::string>& endings)
{
    endings.clear();
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        if (comma == std::string::npos)
            comma = list.size();
        std::string ending = list.substr(start, comma - start);
        if (!ending.empty()) {
            if (ending.front() != '.')
                ending.insert(0, ".");
            endings.push_back(ending);
        }
        start = comma + 1;
    }
    return !endings.empty();
}

PageEdit EditPageBlocks(std::string_view bytes, PageCharset charset, const BannerList& catalogue,
    const std::vector<std::string>& replace, const std::vector<std::string>& remove)
{
    PageEdit edit;
    if (bytes.find(kMarkerPrefix) == std::string_view::npos) {
        edit.Bytes = std::string(bytes);
        return edit;
    }
    ScannedPage scanned;
    ScanPage(scanned, bytes, charset, catalogue);
    AdPage& page = scanned.Ads;
    const PageEncoding encoding = page.Encoding;
    auto bannerOf = [&](const AdNode& node) { return FromPageText(encoding, NodeName(node.Text())); };
    auto toDelete
        = [&](const AdNode& node) { return node.Status() != nsRotation && Contains(remove, bannerOf(node)); };
    std::set<std::string> failed; // node texts a command could not change
    auto toReplace = [&](const AdNode& node) {
        if (node.Status() != nsChanged || failed.count(node.Text()))
            return false;
        const std::string name = bannerOf(node);
        return (replace.empty() || Contains(replace, name)) && !Contains(remove, name)
            && FindBanner(catalogue, name);
    };
    auto first = [&](auto wanted) -> AdNode* {
        for (AdNode* node = page.Tree.First(); node; node = page.Tree.Next(*node))
            if (wanted(*node))
                return node;
        return nullptr;
    };
    if (!first(toDelete) && !first(toReplace)) {
        edit.Bytes = std::string(bytes);
        return edit;
    }
    if (scanned.Repaired) {
        edit.Problem = "its ad markers need repair (open the page in the editor); left alone";
        edit.Bytes = std::string(bytes);
        return edit;
    }
    // Each command works on a fresh tree, as after the window's refresh, so
    // that the "[k]" of every node text counts the blocks as they now stand.
    for (int guard = 0; guard < 100000; ++guard) {
        if (AdNode* node = first(toDelete)) {
            page.Tree.Select(node);
            const AdCommandResult result = DeleteAdBlock(page, catalogue);
            if (result.Done) {
                TakeChange(scanned.Page, scanned.Editor);
                ++edit.Removed;
            }
            RefreshAdList(page, catalogue);
            continue;
        }
        AdNode* node = first(toReplace);
        if (!node)
            break;
        const std::string text = node->Text();
        page.Tree.Select(node);
        // The caret on the block's start marker, as after a click on its node.
        SelectBlockByName(page, text, true, false);
        const AdCommandResult result = ReplaceAdBlock(page, catalogue, *FindBanner(catalogue, bannerOf(*node)));
        if (!result.Done) {
            failed.insert(text);
            continue;
        }
        TakeChange(scanned.Page, scanned.Editor);
        ++edit.Replaced;
        RefreshAdList(page, catalogue);
        // A block the catalogue's HTML still does not match (a rating rule
        // that the rewritten block fails) is not replaced again.
        if (AdNode* again = FindAdNode(page.Tree, text, abNormal); again && again->Status() == nsChanged)
            failed.insert(text);
    }
    edit.Bytes = scanned.Page.Bytes();
    return edit;
}

SiteScanResult ScanSite(const SiteAccessFactory& access, const BannerList& catalogue,
    const SiteWalkOptions& options, const SiteProgressCallback& progress, const std::atomic<bool>* cancel)
{
    SiteScanResult result;
    Walker walker(access, options, progress, cancel);
    std::mutex pagesMutex;
    walker.Run([&](SiteAccess&, const std::string& path, const std::string& relative, const SiteEntry&,
                   std::string& bytes) {
        SitePage page;
        page.Path = path;
        page.Relative = relative;
        // A page without a marker has no ad tree: nothing to detect or scan.
        if (bytes.find(kMarkerPrefix) == std::string::npos) {
            std::lock_guard lock(pagesMutex);
            result.Pages.push_back(std::move(page));
            return;
        }
        // The scan alone needs no line breaks: the lines index the bytes as read.
        PageFile file = PageFile::FromBytes(std::move(bytes), ForcedEncoding(options.Charset));
        ScannedPage scanned;
        scanned.Ads.Encoding = file.Encoding;
        scanned.Editor.SetBuffer(std::move(file.Lines));
        ScanAdBlocks(scanned.Ads, catalogue);
        page.Encoding = file.Encoding;
        const AdTree& tree = scanned.Tree;
        for (const AdNode* node = tree.First(); node; node = tree.Next(*node)) {
            SiteAdNode item;
            item.Depth = node->Parent() ? 1 : 0;
            item.Status = node->Status();
            item.Text = node->Text();
            item.Banner = FromPageText(page.Encoding, NodeName(node->Text()));
            page.Nodes.push_back(std::move(item));
        }
        // Lines of the start markers, found as a click on the node finds them.
        for (SiteAdNode& item : page.Nodes) {
            if (SelectBlockByName(scanned.Ads, item.Text, false, item.Status == nsRotation) == SelectResult::Found)
                item.Line = scanned.Editor.SelectionStart().Line;
        }
        std::lock_guard lock(pagesMutex);
        result.Pages.push_back(std::move(page));
    });
    result.Folder = walker.Root();
    result.Problems = walker.TakeProblems();
    result.Connections = walker.Connections();
    result.Cancelled = walker.Cancelled();
    std::sort(result.Pages.begin(), result.Pages.end(),
        [](const SitePage& a, const SitePage& b) { return a.Path < b.Path; });
    return result;
}

SiteUpdateResult UpdateSite(const SiteAccessFactory& access, const BannerList& catalogue, SiteWalkOptions options,
    const SiteUpdateOptions& update, const SiteProgressCallback& progress, const std::atomic<bool>* cancel)
{
    SiteUpdateResult result;
    RunJournalState state;
    std::vector<std::string> replace = update.Replace;
    std::vector<std::string> remove = update.Delete;
    RunJournal journal;
    const bool writing = !update.DryRun;
    SetupRunLock lock;
    if (writing) {
        if (Status locked = lock.Acquire(ParentOf(update.RunFolder)); !locked) {
            // The new run's folder, made for this run and still empty, goes.
            if (!update.Resume)
                ::rmdir(update.RunFolder.c_str());
            result.Problems.push_back({ update.RunFolder, locked.error, SiteProblemKind::RunBusy });
            return result;
        }
    }
    if (update.Resume) {
        if (Status read = ReadRunJournal(update.RunFolder, state); !read) {
            result.Problems.push_back({ update.RunFolder, read.error, SiteProblemKind::JournalUnreadable });
            return result;
        }
        if (std::optional<SiteProblem> outside = CheckRunFolder(*access(), state.Folder)) {
            result.Problems.push_back(std::move(*outside));
            return result;
        }
        options.Folder = state.Folder;
        if (!state.Endings.empty())
            options.Endings = state.Endings;
        options.Charset = state.Charset;
        replace = state.Replace;
        remove = state.Delete;
    }
    Walker walker(access, options, progress, cancel);
    if (writing)
        walker.ReadForChange();
    std::mutex resultMutex;
    const std::set<std::string> skip(update.Skip.begin(), update.Skip.end());
    bool journalOpen = false;
    Status journalFailure;

    auto problem
        = [&](const std::string& path, const std::string& error, SiteProblemKind kind = SiteProblemKind::Other) {
              std::lock_guard lock(resultMutex);
              result.Problems.push_back({ path, error, kind });
          };
    // The journal is begun once the walk knows the folder it walks.
    auto ensureJournal = [&](const std::string& root) -> bool {
        std::lock_guard lock(resultMutex);
        if (journalOpen)
            return journalFailure.ok;
        journalOpen = true;
        if (!update.Resume) {
            if (journalFailure = MakePrivateFolders(update.RunFolder); !journalFailure)
                return false;
        }
        journalFailure = journal.Open(update.RunFolder, update.Resume ? RunJournal::Existing : RunJournal::New);
        if (journalFailure && !update.Resume) {
            std::vector<std::vector<std::string>> header { { "format", std::to_string(kRunJournalFormat) },
                { "folder", root } };
            if (update.Planned > 0)
                header.push_back({ "planned", std::to_string(update.Planned) });
            for (const std::string& ending : options.Endings)
                header.push_back({ "ending", ending });
            header.push_back({ "charset", std::string(PageCharsetKey(options.Charset)) });
            for (const std::string& name : replace)
                header.push_back({ "replace", name });
            for (const std::string& name : remove)
                header.push_back({ "delete", name });
            journalFailure = journal.AppendRecords(header);
        }
        return journalFailure.ok;
    };

    const bool walked = walker.Run([&](SiteAccess& site, const std::string& path, const std::string& relative,
                                       const SiteEntry& entry, std::string& bytes) {
        if (relative == kRunJournalName)
            return;
        if (state.Done.count(relative)) {
            std::lock_guard lock(resultMutex);
            ++result.AlreadyDone;
            return;
        }
        bool backedUp = false;
        const std::string backup = JoinPath(update.RunFolder, relative);
        if (const auto begun = state.Begun.find(relative); begun != state.Begun.end()) {
            // A page the broken run was storing: either the store went
            // through, or the page is still as the backup has it.
            site.DropLeftovers(path);
            if (HashText(bytes) == begun->second.Hash) {
                if (writing && ensureJournal(walker.Root()))
                    (void)journal.Append({ "done", relative, begun->second.Size, begun->second.Hash });
                std::lock_guard lock(resultMutex);
                ++result.AlreadyDone;
                return;
            }
            std::string old;
            if (!ReadWholeFile(backup, old) || old != bytes) {
                problem(path, "changed on the server since the run read it; left alone",
                    SiteProblemKind::ChangedOnServer);
                return;
            }
            backedUp = true;
        }
        PageEdit edit = EditPageBlocks(bytes, options.Charset, catalogue, replace, remove);
        if (!edit.Problem.empty()) {
            problem(path, edit.Problem, SiteProblemKind::MarkersNeedRepair);
            return;
        }
        if (edit.Replaced == 0 && edit.Removed == 0)
            return;
        if (skip.count(path) || (update.SkipNow && update.SkipNow(path))) {
            std::lock_guard lock(resultMutex);
            result.Skipped.push_back(path);
            return;
        }
        if (update.PageRead)
            update.PageRead(path);
        if (writing) {
            if (!ensureJournal(walker.Root())) {
                problem(path, journalFailure.error);
                return;
            }
            SiteEntry now;
            if (FtpResult stat = site.Restat(path, entry, now); !stat) {
                problem(path, stat.error);
                return;
            }
            if (now.Size != entry.Size || now.Stamp != entry.Stamp
                || (entry.Size >= 0 && static_cast<std::int64_t>(bytes.size()) != entry.Size)) {
                problem(
                    path, "changed on the server since it was read; left alone", SiteProblemKind::ChangedOnServer);
                return;
            }
            if (!backedUp) {
                if (Status saved = KeepBackup(backup, bytes); !saved) {
                    problem(path, "backup: " + saved.error, SiteProblemKind::BackupFailed);
                    return;
                }
            }
            const std::string size = std::to_string(edit.Bytes.size());
            const std::string hash = HashText(edit.Bytes);
            if (Status noted = journal.Append({ "begin", relative, size, hash }); !noted) {
                problem(path, noted.error);
                return;
            }
            if (FtpResult stored = site.Write(path, edit.Bytes, entry.Mode); !stored) {
                problem(path, stored.error);
                return;
            }
            if (Status noted = journal.Append({ "done", relative, size, hash }, RunJournal::Lazy); !noted) {
                problem(path, noted.error);
                return;
            }
        }
        std::lock_guard lock(resultMutex);
        result.Changed.push_back({ path, edit.Replaced, edit.Removed });
    });
    result.Folder = walker.Root();
    for (SiteProblem& found : walker.TakeProblems())
        result.Problems.push_back(std::move(found));
    // A run that was stopped says so, and can be resumed.
    if (walked && writing) {
        const char* end = walker.Cancelled() ? "stopped" : "done";
        if (Status noted = ensureJournal(walker.Root()) ? journal.Append({ "end", end }) : journalFailure; !noted)
            result.Problems.push_back({ update.RunFolder, noted.error });
    }
    result.Connections = walker.Connections();
    result.Cancelled = walker.Cancelled();
    std::sort(result.Changed.begin(), result.Changed.end(),
        [](const SitePageChange& a, const SitePageChange& b) { return a.Path < b.Path; });
    std::sort(result.Skipped.begin(), result.Skipped.end());
    std::sort(result.Problems.begin(), result.Problems.end(),
        [](const SiteProblem& a, const SiteProblem& b) { return a.Path < b.Path; });
    return result;
}

SiteRestoreResult RestoreRun(const SiteAccessFactory& factory, const std::string& runFolder, bool dryRun,
    const SiteProgressCallback& progress, const std::atomic<bool>* cancel)
{
    SiteRestoreResult result;
    RunJournalState state;
    if (Status read = ReadRunJournal(runFolder, state); !read) {
        result.Problems.push_back({ runFolder, read.error, SiteProblemKind::JournalUnreadable });
        return result;
    }
    SetupRunLock lock;
    if (!dryRun) {
        if (Status locked = lock.Acquire(ParentOf(runFolder)); !locked) {
            result.Problems.push_back({ runFolder, locked.error, SiteProblemKind::RunBusy });
            return result;
        }
    }
    std::unique_ptr<SiteAccess> access = factory();
    if (std::optional<SiteProblem> outside = CheckRunFolder(*access, state.Folder)) {
        result.Problems.push_back(std::move(*outside));
        return result;
    }
    std::string root;
    if (FtpResult opened = access->Open(state.Folder, root); !opened) {
        result.Problems.push_back({ state.Folder, opened.error });
        return result;
    }
    RunJournal journal;
    if (!dryRun) {
        if (Status opened = journal.Open(runFolder, RunJournal::Existing); !opened) {
            result.Problems.push_back({ runFolder, opened.error });
            return result;
        }
    }
    // Pages begun and never noted as done were cut off by a kill: their
    // store may or may not have gone through.
    std::vector<std::string> pages;
    for (const auto* noted : { &state.Done, &state.Begun })
        for (const auto& [relative, entry] : *noted)
            if (!state.Restored.count(relative) && (noted == &state.Done || !state.Done.count(relative)))
                pages.push_back(relative);
    std::sort(pages.begin(), pages.end());
    SiteProgress checked { 0, pages.size(), {} };
    for (const std::string& relative : pages) {
        if (cancel && cancel->load()) {
            result.Cancelled = true;
            break;
        }
        const std::string path = SitePath(root, relative);
        if (progress) {
            checked.Current = path;
            progress(checked);
        }
        ++checked.PagesDone;
        const bool done = state.Done.count(relative) != 0;
        if (!done && !dryRun)
            access->DropLeftovers(path);
        std::string old;
        if (Status read = ReadWholeFile(JoinPath(runFolder, relative), old); !read) {
            result.Problems.push_back({ path, "backup: " + read.error });
            continue;
        }
        std::string now;
        if (FtpResult read = access->Read(path, now); !read) {
            result.Problems.push_back({ path, read.error });
            continue;
        }
        if (HashText(now) != (done ? state.Done : state.Begun)[relative].Hash) {
            if (done || now != old)
                result.Problems.push_back(
                    { path, "changed since the run wrote it; left alone", SiteProblemKind::ChangedSinceRun });
            continue;
        }
        if (!dryRun) {
            SiteEntry entry;
            (void)access->Stat(path, entry);
            if (FtpResult stored = access->Write(path, old, entry.Mode); !stored) {
                result.Problems.push_back({ path, stored.error });
                continue;
            }
            if (Status noted = journal.Append({ "restored", relative }); !noted)
                result.Problems.push_back({ path, noted.error });
        }
        result.Restored.push_back(path);
    }
    if (progress && !result.Cancelled) {
        checked.Current.clear();
        progress(checked);
    }
    if (!dryRun && !result.Cancelled) {
        if (Status noted = journal.Append({ "end", "restored" }); !noted)
            result.Problems.push_back({ runFolder, noted.error });
    }
    return result;
}

} // namespace pw

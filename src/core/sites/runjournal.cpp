#include "sites/runjournal.h"

#include "base/files.h"
#include "settings/settingsfolder.h"
#include "text/codec.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace pw {

namespace {

bool IsControl(char ch)
{
    return static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F;
}

std::vector<std::string_view> SplitAt(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos)
            return parts;
        start = end + 1;
    }
}

bool AllOf(std::string_view text, std::string_view allowed)
{
    return !text.empty() && text.find_first_not_of(allowed) == std::string_view::npos;
}

// One line of a journal into `state`; the reason it is refused, else empty.
std::string TakeRecord(std::string_view line, RunJournalState& state, bool& sawFolder)
{
    for (char ch : line)
        if (ch != '\t' && IsControl(ch))
            return "a control character";
    const std::vector<std::string_view> f = SplitAt(line, '\t');
    const std::string_view key = f[0];
    const auto fields = [&](size_t count) { return f.size() == count; };
    if (key == "format" || key == "planned") {
        if (!fields(2) || !AllOf(f[1], "0123456789") || f[1].size() > 9)
            return "a malformed " + std::string(key) + " record";
        const int number = std::stoi(std::string(f[1]));
        if (key == "format")
            state.Format = number;
        else
            state.Planned = static_cast<size_t>(number);
    } else if (key == "end") {
        if (!fields(2) || (f[1] != "done" && f[1] != "stopped" && f[1] != "restored"))
            return "a malformed end record";
        state.End = f[1];
    } else if (key == "folder") {
        if (!fields(2))
            return "a folder record of " + std::to_string(f.size()) + " fields";
        if (sawFolder)
            return "a second folder";
        if (std::string why = UnsafeFolderPath(f[1]); !why.empty())
            return why;
        state.Folder = f[1];
        sawFolder = true;
    } else if (key == "ending" || key == "charset" || key == "replace" || key == "delete") {
        if (!fields(2))
            return "a " + std::string(key) + " record of " + std::to_string(f.size()) + " fields";
        if (key == "ending")
            state.Endings.emplace_back(f[1]);
        else if (key == "charset")
            state.Charset = PageCharsetFromKey(std::string(f[1])).value_or(PageCharset::Auto);
        else
            (key == "replace" ? state.Replace : state.Delete).emplace_back(f[1]);
    } else if (key == "begin" || key == "done") {
        if (!fields(4) || !AllOf(f[2], "0123456789") || f[3].size() != 16 || !AllOf(f[3], "0123456789abcdef"))
            return "a malformed " + std::string(key) + " record";
        if (std::string why = UnsafeRelativePath(f[1]); !why.empty())
            return why;
        (key == "begin" ? state.Begun : state.Done)[std::string(f[1])] = { std::string(f[2]), std::string(f[3]) };
    } else if (key == "restored") {
        if (!fields(2))
            return "a malformed restored record";
        if (std::string why = UnsafeRelativePath(f[1]); !why.empty())
            return why;
        state.Restored.emplace(f[1]);
    }
    // Records of other kinds are left for the versions that write them.
    return {};
}

} // namespace

SiteRunState RunJournalState::State() const
{
    if (End == "restored")
        return SiteRunState::Restored;
    if (End == "done")
        return SiteRunState::Complete;
    // A run that ended in a kill wrote no end record; journals of the first
    // format had none, and ran to their end unless a page was left begun.
    if (End == "stopped" || Format >= 2)
        return SiteRunState::Stopped;
    for (const auto& [relative, entry] : Begun)
        if (!Done.count(relative))
            return SiteRunState::Stopped;
    return SiteRunState::Complete;
}

std::string UnsafeJournalField(std::string_view field)
{
    for (char ch : field)
        if (IsControl(ch))
            return "holds a control character";
    return {};
}

std::string UnsafeRelativePath(std::string_view relative)
{
    if (relative.empty())
        return "an empty page path";
    if (relative.front() == '/')
        return "an absolute page path";
    for (std::string_view part : SplitAt(relative, '/'))
        if (part.empty() || part == "." || part == "..")
            return "a page path with an empty, \".\" or \"..\" part";
    if (!UnsafeJournalField(relative).empty())
        return "a page path holding a control character";
    return {};
}

std::string UnsafeFolderPath(std::string_view folder)
{
    if (folder.empty())
        return "an empty folder";
    for (std::string_view part : SplitAt(folder, '/'))
        if (part == "." || part == "..")
            return "a folder with a \".\" or \"..\" part";
    if (!UnsafeJournalField(folder).empty())
        return "a folder holding a control character";
    return {};
}

RunJournal::~RunJournal()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

Status RunJournal::Open(const std::string& runFolder, OpenMode mode)
{
    const std::string path = JoinPath(runFolder, kRunJournalName);
    const int flags = O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW | (mode == New ? O_CREAT | O_EXCL : 0);
    m_fd = ::open(path.c_str(), flags, 0600);
    if (m_fd < 0) {
        if (errno == EEXIST)
            return Status::Fail(runFolder + ": the folder already holds a run");
        return Status::Fail(path + ": " + std::strerror(errno));
    }
    return Status::Ok();
}

Status RunJournal::AppendRecords(const std::vector<std::vector<std::string>>& records, Durability durability)
{
    std::string text;
    for (const std::vector<std::string>& record : records) {
        for (size_t i = 0; i < record.size(); ++i) {
            if (std::string why = UnsafeJournalField(record[i]); !why.empty())
                return Status::Fail("journal: a field of a " + record[0] + " record " + why + "; not written");
            text.append(i ? "\t" : "").append(record[i]);
        }
        text += '\n';
    }
    std::lock_guard lock(m_mutex);
    if (::write(m_fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())
        || (durability == Synced && ::fdatasync(m_fd) != 0))
        return Status::Fail(std::string("journal: ") + std::strerror(errno));
    return Status::Ok();
}

Status ReadRunJournal(const std::string& runFolder, RunJournalState& state)
{
    std::string text;
    if (Status read = ReadWholeFile(JoinPath(runFolder, kRunJournalName), text); !read)
        return Status::Fail(runFolder + ": no journal of a run here (" + read.error + ")");
    std::vector<std::string_view> lines = SplitAt(text, '\n');
    // What follows the last line break is a record a kill cut off, or nothing.
    lines.pop_back();
    bool sawFolder = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (std::string why = TakeRecord(lines[i], state, sawFolder); !why.empty())
            return Status::Fail(runFolder + ": the run's journal is damaged at line " + std::to_string(i + 1)
                + " (" + why + "); nothing is done from it");
    }
    if (!sawFolder)
        return Status::Fail(runFolder + ": the run's journal names no folder");
    return Status::Ok();
}

SetupRunLock::~SetupRunLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

Status SetupRunLock::Acquire(const std::string& setupBackups)
{
    if (Status made = MakePrivateFolders(setupBackups); !made)
        return made;
    const std::string path = JoinPath(setupBackups, ".lock");
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return Status::Fail(path + ": " + std::strerror(errno));
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        if (err == EWOULDBLOCK)
            return Status::Fail("another run of this setup is going on; start this one when it has ended");
        return Status::Fail(path + ": " + std::strerror(err));
    }
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
    return Status::Ok();
}

std::vector<SiteRun> ListRuns(const std::string& setupBackups)
{
    std::vector<SiteRun> runs;
    std::error_code ec;
    for (const auto& item : std::filesystem::directory_iterator(setupBackups, ec)) {
        if (!item.is_directory(ec))
            continue;
        RunJournalState state;
        if (!ReadRunJournal(item.path().string(), state))
            continue;
        SiteRun run;
        run.Name = item.path().filename().string();
        run.Pages = state.Done.size();
        run.Planned = state.Planned;
        run.State = state.State();
        run.Deletes = !state.Delete.empty();
        run.Banners = run.Deletes ? state.Delete : state.Replace;
        runs.push_back(std::move(run));
    }
    std::sort(runs.begin(), runs.end(), [](const SiteRun& a, const SiteRun& b) { return a.Name > b.Name; });
    return runs;
}

std::vector<std::string> PruneRuns(const std::string& setupBackups, size_t keep)
{
    std::vector<std::string> removed;
    SetupRunLock lock;
    if (keep == 0 || !lock.Acquire(setupBackups))
        return removed;
    const std::vector<SiteRun> runs = ListRuns(setupBackups);
    for (size_t i = keep; i < runs.size(); ++i) {
        if (runs[i].State == SiteRunState::Stopped)
            continue;
        std::error_code ec;
        std::filesystem::remove_all(JoinPath(setupBackups, runs[i].Name), ec);
        if (!ec)
            removed.push_back(runs[i].Name);
    }
    return removed;
}

namespace {

std::string SafeFolderName(std::string name)
{
    for (char& ch : name)
        if (ch == '/' || IsControl(ch))
            ch = '_';
    if (name.empty() || name == "." || name == "..")
        name = "_" + name;
    return name;
}

} // namespace

std::string SetupBackupFolder(const std::string& settingsFolder, const std::string& setupName)
{
    const std::string backups = JoinPath(settingsFolder, "backups");
    // A name with bytes that are no Shift_JIS character keeps its bytes.
    std::string text = codec::DecodeSjis(setupName);
    for (size_t i = 0; i < text.size();) {
        if (codec::IsEscape(codec::NextUtf8(text, i))) {
            text = setupName;
            break;
        }
    }
    const std::string folder = JoinPath(backups, SafeFolderName(text));
    const std::string legacy = JoinPath(backups, SafeFolderName(setupName));
    struct stat info { };
    if (legacy != folder && ::lstat(folder.c_str(), &info) != 0 && ::lstat(legacy.c_str(), &info) == 0
        && S_ISDIR(info.st_mode))
        ::rename(legacy.c_str(), folder.c_str());
    return folder;
}

std::string NewRunName()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

Status NewRunFolder(const std::string& setupBackups, std::string& run)
{
    if (Status made = MakePrivateFolders(setupBackups); !made)
        return made;
    // A run's name is its second: a run started within the same second as
    // another waits for the next one. The folder is made exclusively, so two
    // runs that ask at once never get the same one.
    for (int attempt = 0; attempt < 50; ++attempt) {
        run = NewRunName();
        const std::string folder = JoinPath(setupBackups, run);
        if (::mkdir(folder.c_str(), 0700) == 0)
            return Status::Ok();
        if (errno != EEXIST)
            return Status::Fail(folder + ": " + std::strerror(errno));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    run.clear();
    return Status::Fail(setupBackups + ": no new run folder could be made");
}

} // namespace pw

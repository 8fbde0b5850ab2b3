#include "shell/scratchfiles.h"

#include "base/files.h"
#include "shell/generalsettings.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace pw {

namespace {

// Ticks since boot at which process `pid` started (field 22 of
// /proc/PID/stat), or 0 when it cannot be read.
unsigned long long ProcessStartTime(long pid)
{
    std::string stat;
    if (!ReadWholeFile("/proc/" + std::to_string(pid) + "/stat", stat).ok)
        return 0;
    // The command name (field 2) is in parentheses and may hold blanks and
    // parentheses itself: count the fields from the last ')'.
    const auto close = stat.rfind(')');
    if (close == std::string::npos)
        return 0;
    size_t pos = close + 1;
    for (int field = 3; field <= 22; ++field) {
        while (pos < stat.size() && stat[pos] == ' ')
            ++pos;
        const size_t end = stat.find(' ', pos);
        if (field == 22) {
            unsigned long long value = 0;
            const char* last = stat.data() + (end == std::string::npos ? stat.size() : end);
            if (std::from_chars(stat.data() + pos, last, value).ec != std::errc())
                return 0;
            return value;
        }
        if (end == std::string::npos)
            return 0;
        pos = end;
    }
    return 0;
}

struct FolderName {
    unsigned long uid = 0;
    long pid = 0;
    unsigned long long start = 0;
};

bool ParseNumber(std::string_view& text, auto& value)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end == text.data() || end == text.data() + text.size() || *end != '-')
        return false;
    text.remove_prefix(static_cast<size_t>(end - text.data()) + 1);
    return true;
}

// Reads "pagewick-<uid>-<pid>-<start>-XXXXXX".
bool ParseFolderName(std::string_view name, FolderName& out)
{
    if (!name.starts_with(kScratchFolderPrefix))
        return false;
    name.remove_prefix(kScratchFolderPrefix.size());
    return ParseNumber(name, out.uid) && ParseNumber(name, out.pid) && ParseNumber(name, out.start)
        && name.size() == 6 && out.pid > 0;
}

bool ProcessAlive(const FolderName& owner)
{
    if (::kill(static_cast<pid_t>(owner.pid), 0) != 0 && errno == ESRCH)
        return false;
    // The process id is in use: by the owner, unless it started at another time.
    const unsigned long long start = ProcessStartTime(owner.pid);
    return start == 0 || owner.start == 0 || start == owner.start;
}

} // namespace

std::string ScratchParentFolder()
{
    if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp) {
        struct stat st { };
        if (::stat(tmp, &st) == 0 && S_ISDIR(st.st_mode))
            return tmp;
    }
    return "/tmp";
}

ScratchFolder::~ScratchFolder()
{
    Remove();
}

ScratchFolder::ScratchFolder(ScratchFolder&& other) noexcept
    : m_path(std::move(other.m_path))
    , m_files(std::move(other.m_files))
{
    other.m_path.clear();
}

ScratchFolder& ScratchFolder::operator=(ScratchFolder&& other) noexcept
{
    if (this != &other) {
        Remove();
        m_path = std::move(other.m_path);
        m_files = std::move(other.m_files);
        other.m_path.clear();
    }
    return *this;
}

Status ScratchFolder::Create(const std::string& parent, std::uint32_t tickMilliseconds)
{
    if (Status removed = Remove(); !removed)
        return removed;
    RemoveStaleScratchFolders(parent);

    const long pid = static_cast<long>(::getpid());
    std::string path = JoinPath(parent,
        std::string(kScratchFolderPrefix) + std::to_string(::geteuid()) + "-" + std::to_string(pid) + "-"
            + std::to_string(ProcessStartTime(pid)) + "-XXXXXX");
    // mkdtemp makes the folder exclusively, mode 0700.
    if (!::mkdtemp(path.data()))
        return Status::Fail("Cannot create a private folder in " + parent + ": " + std::strerror(errno));
    m_path = path;
    for (int n = 1; n <= 3; ++n) {
        m_files[static_cast<size_t>(n - 1)] = MakeScratchFileName(m_path, "html", n, tickMilliseconds);
        if (Status made = WriteScratchFile(File(n), ""); !made) {
            Remove();
            return made;
        }
    }
    return Status::Ok();
}

Status ScratchFolder::Write(int number, std::string_view bytes) const
{
    if (!IsOpen() || number < 1 || number > 3)
        return Status::Fail("No scratch file " + std::to_string(number));
    return WriteScratchFile(File(number), bytes);
}

Status ScratchFolder::Remove()
{
    if (m_path.empty())
        return Status::Ok();
    std::error_code error;
    std::filesystem::remove_all(m_path, error);
    if (error)
        return Status::Fail("Cannot remove " + m_path + ": " + error.message());
    m_path.clear();
    m_files = {};
    return Status::Ok();
}

std::vector<std::string> RemoveStaleScratchFolders(const std::string& parent)
{
    std::vector<std::string> removed;
    DIR* dir = ::opendir(parent.c_str());
    if (!dir)
        return removed;
    const uid_t uid = ::geteuid();
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir)) {
        FolderName owner;
        if (!ParseFolderName(entry->d_name, owner) || owner.uid != uid)
            continue;
        const std::string path = JoinPath(parent, entry->d_name);
        struct stat st { };
        if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != uid)
            continue;
        if (!ProcessAlive(owner))
            stale.push_back(path);
    }
    ::closedir(dir);
    for (const std::string& path : stale) {
        std::error_code error;
        std::filesystem::remove_all(path, error);
        if (!error)
            removed.push_back(path);
    }
    return removed;
}

} // namespace pw

#include "base/files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace pw {

namespace {

std::string ErrnoText(const std::string& what, const std::string& path, int err)
{
    return what + " " + path + ": " + std::strerror(err);
}

std::string FolderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// The file a save of `path` replaces: `path` itself, or the end of the chain
// of symbolic links that starts there (the end may not exist yet).
Status FollowLinks(const std::string& path, std::string& target)
{
    target = path;
    for (int hops = 0;; ++hops) {
        struct stat st { };
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return Status::Ok();
        if (hops == 40)
            return Status::Fail(ErrnoText("Cannot follow the links of", path, ELOOP));
        std::string to(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = ::readlink(target.c_str(), to.data(), to.size());
        if (n < 0)
            return Status::Fail(ErrnoText("Cannot follow the link", target, errno));
        to.resize(static_cast<size_t>(n));
        target = to.starts_with('/') ? to : JoinPath(FolderOf(target), to);
    }
}

bool InGroup(gid_t gid)
{
    if (gid == ::getegid())
        return true;
    const int count = ::getgroups(0, nullptr);
    if (count <= 0)
        return false;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    const int got = ::getgroups(count, groups.data());
    for (int i = 0; i < got; ++i)
        if (groups[static_cast<size_t>(i)] == gid)
            return true;
    return false;
}

// Whether the mode bits deny the user writing: the owner's, the group's or
// the others' bit, whichever class the user falls in. Root, whom the system
// lets write anything, is held to the file's having any write bit at all.
bool ModeDeniesWriting(const struct stat& st)
{
    const uid_t uid = ::geteuid();
    if (uid == 0)
        return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    if (st.st_uid == uid)
        return (st.st_mode & S_IWUSR) == 0;
    if (InGroup(st.st_gid))
        return (st.st_mode & S_IWGRP) == 0;
    return (st.st_mode & S_IWOTH) == 0;
}

constexpr std::string_view kTempPrefix = ".pwtmp-";
constexpr size_t kTempRandomLength = 6; // the XXXXXX of mkstemp
// A temporary file nobody has written to for this long, and that no save
// holds locked, belongs to a save that was killed.
constexpr int kStaleTempSeconds = 60;

} // namespace

// Names of the form the save makes, regular files of this user, not locked by
// a running save (a save holds its temporary file locked while it writes) and
// idle for a while (the lock is taken just after the file is made). Best
// effort: a file that cannot be removed stays for the next save.
void RemoveAbandonedTemporaryFiles(const std::string& folder, int idleSeconds)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    const int dirFd = ::dirfd(dir);
    const time_t now = ::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (!name.starts_with(kTempPrefix) || name.size() != kTempPrefix.size() + kTempRandomLength)
            continue;
        struct stat st { };
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)
            || st.st_uid != ::geteuid() || now - st.st_mtime < idleSeconds)
            continue;
        const int fd = ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat opened { };
        if (::fstat(fd, &opened) == 0 && opened.st_ino == st.st_ino && opened.st_dev == st.st_dev
            && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlinkat(dirFd, entry->d_name, 0);
        ::close(fd);
    }
    ::closedir(dir);
}

Status ReadWholeFile(const std::string& path, std::string& out)
{
    out.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Status::Fail(ErrnoText("Cannot open", path, errno));
    // One allocation of the file's size, read into directly; a file that grows
    // meanwhile is read to its end all the same.
    struct stat st { };
    const size_t expected = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? static_cast<size_t>(st.st_size) : 0;
    std::string data;
    data.resize(std::max<size_t>(expected + 1, 65536));
    size_t filled = 0;
    for (;;) {
        if (filled == data.size())
            data.resize(data.size() * 2);
        const ssize_t n = ::read(fd, data.data() + filled, data.size() - filled);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            ::close(fd);
            return Status::Fail(ErrnoText("Cannot read", path, err));
        }
        filled += static_cast<size_t>(n);
    }
    ::close(fd);
    data.resize(filled);
    out = std::move(data);
    return Status::Ok();
}

namespace {

class Mapping {
public:
    Mapping(void* address, size_t length)
        : m_address(address)
        , m_length(length)
    {
    }
    ~Mapping() { ::munmap(m_address, m_length); }
    Mapping(const Mapping&) = delete;
    Mapping& operator=(const Mapping&) = delete;

private:
    void* m_address;
    size_t m_length;
};

} // namespace

Status MapWholeFile(const std::string& path, FileBytes& out)
{
    out = {};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Status::Fail(ErrnoText("Cannot open", path, errno));
    struct stat st { };
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        const size_t length = static_cast<size_t>(st.st_size);
        // MAP_POPULATE maps the whole file at once instead of a page at a time.
        void* address = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        if (address != MAP_FAILED) {
            ::close(fd);
            out.Owner = std::make_shared<const Mapping>(address, length);
            out.Bytes = std::string_view(static_cast<const char*>(address), length);
            return Status::Ok();
        }
    }
    ::close(fd);
    // Empty, special or unmappable: read it.
    auto bytes = std::make_shared<std::string>();
    if (Status read = ReadWholeFile(path, *bytes); !read)
        return read;
    out.Bytes = *bytes;
    out.Owner = std::move(bytes);
    return Status::Ok();
}

FileReader::~FileReader()
{
    Close();
}

void FileReader::Close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

Status FileReader::Open(const std::string& path)
{
    Close();
    m_path = path;
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        return Status::Fail(ErrnoText("Cannot open", path, errno));
    return Status::Ok();
}

Status FileReader::Read(char* buffer, size_t capacity, size_t& count)
{
    count = 0;
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, capacity);
        if (n >= 0) {
            count = static_cast<size_t>(n);
            return Status::Ok();
        }
        if (errno != EINTR)
            return Status::Fail(ErrnoText("Cannot read", m_path, errno));
    }
}

AtomicFileWriter::~AtomicFileWriter()
{
    Discard();
}

void AtomicFileWriter::Discard()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        ::unlink(m_temp.c_str());
    }
    m_fd = -1;
}

Status AtomicFileWriter::Fail(const std::string& what)
{
    const int err = errno;
    Discard();
    return Status::Fail(ErrnoText(what, m_path, err));
}

Status AtomicFileWriter::Open(const std::string& linkOrPath, FilePermissions permissions)
{
    Discard();
    // A save through a link replaces the link's target, from beside the target.
    if (Status followed = FollowLinks(linkOrPath, m_path); !followed)
        return followed;

    mode_t mode = 0600;
    struct stat st { };
    const bool exists = ::stat(m_path.c_str(), &st) == 0;
    if (exists && ModeDeniesWriting(st))
        return Status::Fail("Cannot write " + linkOrPath + ": read-only");
    if (permissions == FilePermissions::KeepOrDefault) {
        if (exists) {
            mode = st.st_mode & 07777;
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            mode = 0644 & ~mask;
        }
    }

    m_temp = FolderOf(m_path) + "/" + std::string(kTempPrefix) + "XXXXXX";
    m_fd = ::mkstemp(m_temp.data());
    if (m_fd < 0)
        return Status::Fail(ErrnoText("Cannot create a temporary file beside", m_path, errno));
    // Held until the file is closed: tells the clean-up of other saves that
    // this one is alive. Where the folder has no locks, the age rule alone
    // protects it.
    ::flock(m_fd, LOCK_EX | LOCK_NB);
    if (::fchmod(m_fd, mode) != 0)
        return Fail("Cannot set the permissions of");
    return Status::Ok();
}

Status AtomicFileWriter::Write(std::string_view bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return Fail("Cannot write");
        }
        done += static_cast<size_t>(n);
    }
    return Status::Ok();
}

Status AtomicFileWriter::Commit()
{
    if (::fsync(m_fd) != 0)
        return Fail("Cannot flush");
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(m_temp.c_str());
        return Status::Fail(ErrnoText("Cannot write", m_path, err));
    }
    if (::rename(m_temp.c_str(), m_path.c_str()) != 0) {
        const int err = errno;
        ::unlink(m_temp.c_str());
        return Status::Fail(ErrnoText("Cannot replace", m_path, err));
    }
    RemoveAbandonedTemporaryFiles(FolderOf(m_path), kStaleTempSeconds);
    return Status::Ok();
}

Status AtomicFileWriter::CommitNew()
{
    if (::fsync(m_fd) != 0)
        return Fail("Cannot flush");
    const int fd = m_fd;
    m_fd = -1;
    int err = 0;
    if (::close(fd) != 0 || ::link(m_temp.c_str(), m_path.c_str()) != 0)
        err = errno;
    ::unlink(m_temp.c_str());
    if (err == EEXIST)
        return Status::Fail("Cannot write " + m_path + ": it exists already");
    if (err != 0)
        return Status::Fail(ErrnoText("Cannot write", m_path, err));
    return Status::Ok();
}

Status WriteFileAtomically(const std::string& path, std::string_view bytes, FilePermissions permissions)
{
    AtomicFileWriter writer;
    if (Status opened = writer.Open(path, permissions); !opened)
        return opened;
    if (Status written = writer.Write(bytes); !written)
        return written;
    return writer.Commit();
}

Status WriteNewFile(const std::string& path, std::string_view bytes)
{
    // Not even a dangling link may stand there: the write would follow it.
    struct stat st { };
    if (::lstat(path.c_str(), &st) == 0)
        return Status::Fail("Cannot write " + path + ": it exists already");
    AtomicFileWriter writer;
    if (Status opened = writer.Open(path, FilePermissions::OwnerOnly); !opened)
        return opened;
    if (Status written = writer.Write(bytes); !written)
        return written;
    return writer.CommitNew();
}

Status WriteScratchFile(const std::string& path, std::string_view bytes)
{
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        return Status::Fail(ErrnoText("Cannot remove", path, errno));
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return Status::Fail(ErrnoText("Cannot create", path, errno));
    auto fail = [&](const std::string& what, int err) {
        ::close(fd);
        ::unlink(path.c_str());
        return Status::Fail(ErrnoText(what, path, err));
    };
    if (::fchmod(fd, 0600) != 0)
        return fail("Cannot set the permissions of", errno);
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail("Cannot write", errno);
        }
        done += static_cast<size_t>(n);
    }
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(path.c_str());
        return Status::Fail(ErrnoText("Cannot write", path, err));
    }
    return Status::Ok();
}

bool FileExists(const std::string& path)
{
    struct stat st { };
    return ::stat(path.c_str(), &st) == 0;
}

bool IsWritableFolder(const std::string& folder)
{
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::string JoinPath(std::string_view folder, std::string_view name)
{
    std::string path(folder);
    if (!path.empty() && path.back() != '/')
        path += '/';
    path += name;
    return path;
}

} // namespace pw

#include "base/files.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
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
        struct stat st {};
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
constexpr time_t kStaleTempSeconds = 60;

// Removes the temporary files that interrupted saves left in `folder`: names
// of the form the save makes, regular files of this user, not locked by a
// running save (a save holds its temporary file locked while it writes) and
// not modified for a minute (the lock is taken just after the file is made).
// Best effort: a file that cannot be removed stays for the next save.
void RemoveStaleTemporaryFiles(const std::string& folder)
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
        struct stat st {};
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != ::geteuid() || now - st.st_mtime < kStaleTempSeconds)
            continue;
        const int fd = ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat opened {};
        if (::fstat(fd, &opened) == 0 && opened.st_ino == st.st_ino && opened.st_dev == st.st_dev &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlinkat(dirFd, entry->d_name, 0);
        ::close(fd);
    }
    ::closedir(dir);
}

} // namespace

Status ReadWholeFile(const std::string& path, std::string& out)
{
    out.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Status::Fail(ErrnoText("Cannot open", path, errno));
    std::string data;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            ::close(fd);
            return Status::Fail(ErrnoText("Cannot read", path, err));
        }
        data.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    out = std::move(data);
    return Status::Ok();
}

Status WriteFileAtomically(const std::string& linkOrPath, std::string_view bytes, FilePermissions permissions)
{
    // A save through a link replaces the link's target, from beside the target.
    std::string path;
    if (Status followed = FollowLinks(linkOrPath, path); !followed)
        return followed;

    mode_t mode = 0600;
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
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

    const std::string folder = FolderOf(path);
    std::string temp = folder + "/" + std::string(kTempPrefix) + "XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return Status::Fail(ErrnoText("Cannot create a temporary file beside", path, errno));
    // Held until the file is closed: tells the clean-up of other saves that
    // this one is alive. Where the folder has no locks, the age rule alone
    // protects it.
    ::flock(fd, LOCK_EX | LOCK_NB);

    auto fail = [&](const std::string& what) {
        const int err = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        return Status::Fail(ErrnoText(what, path, err));
    };

    if (::fchmod(fd, mode) != 0)
        return fail("Cannot set the permissions of");
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail("Cannot write");
        }
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0)
        return fail("Cannot flush");
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        return Status::Fail(ErrnoText("Cannot write", path, err));
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        return Status::Fail(ErrnoText("Cannot replace", path, err));
    }
    RemoveStaleTemporaryFiles(folder);
    return Status::Ok();
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
    struct stat st {};
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

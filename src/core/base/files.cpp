#include "base/files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

Status WriteFileAtomically(const std::string& path, std::string_view bytes, FilePermissions permissions)
{
    mode_t mode = 0600;
    if (permissions == FilePermissions::KeepOrDefault) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) {
            mode = st.st_mode & 07777;
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            mode = 0644 & ~mask;
        }
    }

    std::string temp = FolderOf(path) + "/.pwtmp-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return Status::Fail(ErrnoText("Cannot create a temporary file beside", path, errno));

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

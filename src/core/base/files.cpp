#include "base/files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
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
    // One allocation of the file's size, read into directly; a file that grows
    // meanwhile is read to its end all the same.
    struct stat st {};
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
    Mapping(void* address, size_t length) : m_address(address), m_length(length) {}
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
    struct stat st {};
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

Status AtomicFileWriter::Open(const std::string& path, FilePermissions permissions)
{
    Discard();
    m_path = path;
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
    m_temp = FolderOf(path) + "/.pwtmp-XXXXXX";
    m_fd = ::mkstemp(m_temp.data());
    if (m_fd < 0)
        return Status::Fail(ErrnoText("Cannot create a temporary file beside", path, errno));
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

#pragma once

#include "base/result.h"

#include <memory>
#include <string>
#include <string_view>

namespace pw {

enum class FilePermissions {
    KeepOrDefault, // an existing file keeps its mode; a new one gets 0644 less the umask
    OwnerOnly, // always 0600: the file holds passwords
};

// Reads the whole file into `out`. On failure `out` is left empty.
Status ReadWholeFile(const std::string& path, std::string& out);

// A file's bytes kept in memory by `Owner`: mapped read-only where the file
// can be mapped, otherwise read. The bytes are the file as it was when mapped;
// the file must not shrink while they are in use (a file replaced by a rename,
// as WriteFileAtomically does, leaves them untouched).
struct FileBytes {
    std::shared_ptr<const void> Owner;
    std::string_view Bytes;
};
Status MapWholeFile(const std::string& path, FileBytes& out);

// Writes `bytes` to a temporary file in the same folder, flushes it to disk and
// renames it over `path`. On failure the old file is untouched and no temporary
// file is left behind.
//
// When `path` is a symbolic link (or a chain of them), the file at its end is
// replaced and the link stays. An existing file whose mode bits give the user
// no write permission is not written: the error ends in "read-only". After a
// save, temporary files that killed saves left in the folder are removed
// (those not locked by a running save and untouched for a minute).
Status WriteFileAtomically(
    const std::string& path, std::string_view bytes, FilePermissions permissions = FilePermissions::KeepOrDefault);

// Writes a file that must not exist yet, complete or not at all, readable by
// the owner only: an existing file (or link) at `path` is never replaced, and
// the call fails instead.
Status WriteNewFile(const std::string& path, std::string_view bytes);

// Removes the temporary files that killed saves left in `folder`: those of
// the form WriteFileAtomically makes, of this user, that no running save holds
// and that nobody wrote to for `idleSeconds`. A save removes those idle for a
// minute by itself; a run that knows its own saves were killed asks sooner.
void RemoveAbandonedTemporaryFiles(const std::string& folder, int idleSeconds);

// Writes a file that no other user may redirect: whatever stands at `path`
// (an old file, a link) is removed, then the file is created anew, exclusively
// and without following a link, readable by the owner only (0600). Meant for
// files in a private folder; in a shared folder a link planted between the
// removal and the creation makes the write fail, never follow it.
Status WriteScratchFile(const std::string& path, std::string_view bytes);

// Reads a file piece by piece.
class FileReader {
public:
    FileReader() = default;
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    Status Open(const std::string& path);
    // Reads up to `capacity` bytes; `count` is 0 at the end of the file.
    Status Read(char* buffer, size_t capacity, size_t& count);
    void Close();

private:
    int m_fd = -1;
    std::string m_path;
};

// WriteFileAtomically piece by piece: Open makes the temporary file (beside
// the end of a link, refusing a read-only file, as WriteFileAtomically does),
// Write appends to it, Commit flushes it, renames it over the path and clears
// stale temporary files. A failure, or the writer going away before Commit,
// removes the temporary file and leaves the old file untouched.
class AtomicFileWriter {
public:
    AtomicFileWriter() = default;
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    Status Open(const std::string& path, FilePermissions permissions = FilePermissions::KeepOrDefault);
    Status Write(std::string_view bytes);
    Status Commit();
    // Commit for a file that must not exist yet: the temporary file is linked
    // under the path, which fails (leaving what stands there) when anything
    // does.
    Status CommitNew();
    // Drops the temporary file.
    void Discard();

private:
    Status Fail(const std::string& what);

    int m_fd = -1;
    std::string m_path;
    std::string m_temp;
};

bool FileExists(const std::string& path);
bool IsWritableFolder(const std::string& folder);

// Joins a folder and a name with exactly one '/'.
std::string JoinPath(std::string_view folder, std::string_view name);

} // namespace pw

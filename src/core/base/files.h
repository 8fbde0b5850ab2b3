#pragma once

#include "base/result.h"

#include <string>
#include <string_view>

namespace pw {

enum class FilePermissions {
    KeepOrDefault, // an existing file keeps its mode; a new one gets 0644 less the umask
    OwnerOnly,     // always 0600: the file holds passwords
};

// Reads the whole file into `out`. On failure `out` is left empty.
Status ReadWholeFile(const std::string& path, std::string& out);

// Writes `bytes` to a temporary file in the same folder, flushes it to disk and
// renames it over `path`. On failure the old file is untouched and no temporary
// file is left behind.
//
// When `path` is a symbolic link (or a chain of them), the file at its end is
// replaced and the link stays. An existing file whose mode bits give the user
// no write permission is not written: the error ends in "read-only". After a
// save, temporary files that killed saves left in the folder are removed
// (those not locked by a running save and untouched for a minute).
Status WriteFileAtomically(const std::string& path, std::string_view bytes,
                           FilePermissions permissions = FilePermissions::KeepOrDefault);

// Writes a file that no other user may redirect: whatever stands at `path`
// (an old file, a link) is removed, then the file is created anew, exclusively
// and without following a link, readable by the owner only (0600). Meant for
// files in a private folder; in a shared folder a link planted between the
// removal and the creation makes the write fail, never follow it.
Status WriteScratchFile(const std::string& path, std::string_view bytes);

bool FileExists(const std::string& path);
bool IsWritableFolder(const std::string& folder);

// Joins a folder and a name with exactly one '/'.
std::string JoinPath(std::string_view folder, std::string_view name);

} // namespace pw

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
Status WriteFileAtomically(const std::string& path, std::string_view bytes,
                           FilePermissions permissions = FilePermissions::KeepOrDefault);

bool FileExists(const std::string& path);
bool IsWritableFolder(const std::string& folder);

// Joins a folder and a name with exactly one '/'.
std::string JoinPath(std::string_view folder, std::string_view name);

} // namespace pw

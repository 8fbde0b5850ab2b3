#pragma once

#include "base/result.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pw {

// The three scratch .html files (the login page, the banner preview, the
// banner editor's preview) live in a private folder made at start-up under the
// shared temporary folder, so that no other user can plant a link at their
// names or read them. The folder is named
//   pagewick-<uid>-<pid>-<process start time>-XXXXXX
// so that a later start can tell this user's folders that a crashed instance
// left behind (owner gone) from those of a running instance.
inline constexpr std::string_view kScratchFolderPrefix = "pagewick-";

// The folder under which the private folder is made: $TMPDIR when it names a
// folder, else /tmp.
std::string ScratchParentFolder();

class ScratchFolder {
public:
    ScratchFolder() = default;
    ~ScratchFolder();
    ScratchFolder(ScratchFolder&& other) noexcept;
    ScratchFolder& operator=(ScratchFolder&& other) noexcept;
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Start-up: removes this user's stale folders under `parent`
    // (RemoveStaleScratchFolders), makes a new private folder (mode 0700) and
    // creates the three scratch files in it, empty, mode 0600, named by
    // MakeScratchFileName with the extension "html" and the numbers 1 to 3.
    // A folder made before is removed first.
    Status Create(const std::string& parent, std::uint32_t tickMilliseconds);

    bool IsOpen() const { return !m_path.empty(); }
    const std::string& Path() const { return m_path; }
    // The scratch file of number 1, 2 or 3.
    const std::string& File(int number) const { return m_files.at(static_cast<size_t>(number - 1)); }
    const std::array<std::string, 3>& Files() const { return m_files; }

    // Replaces the content of scratch file `number` (WriteScratchFile: the old
    // file is removed and a new one created exclusively, never through a link).
    Status Write(int number, std::string_view bytes) const;

    // Removes the folder with everything in it (at exit; the destructor does
    // it too). Removing a folder that is not open succeeds.
    Status Remove();

private:
    std::string m_path;
    std::array<std::string, 3> m_files;
};

// Removes the scratch folders under `parent` that a crashed instance of this
// user left: real folders (not links) named as above, owned by this user and
// carrying this user's id, whose process is gone (no such process, or one that
// started at another time, so the id was reused). Another user's folders and
// those of a running instance are never touched. Returns the removed paths.
std::vector<std::string> RemoveStaleScratchFolders(const std::string& parent);

} // namespace pw

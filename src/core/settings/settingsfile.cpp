#include "settings/settingsfile.h"

#include "base/files.h"
#include "base/sjistext.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pw {

std::string MissingSettingsFileMessage(std::string_view name)
{
    // イニシャルファイル[name]は存在しません、正しくインストールしてください。
    return std::string("イニシャルファイル["_sjis) + std::string(name)
        + "]は存在しません、正しくインストールしてください。"_sjis;
}

namespace {

// Copies the file's bytes to NAME.damaged-YYYYMMDD-HHMMSS, or finds a copy
// with the same bytes that an earlier load made.
Status KeepDamagedCopy(
    const std::string& folder, std::string_view name, const std::string& image, std::string& copy)
{
    const std::string prefix = std::string(name) + ".damaged-";
    if (DIR* dir = ::opendir(folder.c_str())) {
        std::string found;
        while (const dirent* entry = ::readdir(dir)) {
            if (!std::string_view(entry->d_name).starts_with(prefix))
                continue;
            const std::string path = JoinPath(folder, entry->d_name);
            struct stat st { };
            std::string bytes;
            if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)
                && static_cast<size_t>(st.st_size) == image.size() && ReadWholeFile(path, bytes).ok
                && bytes == image) {
                found = path;
                break;
            }
        }
        ::closedir(dir);
        if (!found.empty()) {
            copy = found;
            return Status::Ok();
        }
    }
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    ::localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string base = JoinPath(folder, prefix + stamp);
    for (int n = 1; n <= 100; ++n) {
        const std::string path = n == 1 ? base : base + "-" + std::to_string(n);
        struct stat st { };
        if (::lstat(path.c_str(), &st) == 0)
            continue;
        if (Status written = WriteFileAtomically(path, image, FilePermissions::OwnerOnly); !written)
            return written;
        copy = path;
        return Status::Ok();
    }
    return Status::Fail("Cannot find a free name for a copy of " + JoinPath(folder, name));
}

} // namespace

std::string DamagedSettingsFileMessage(const std::string& path, const SettingsLoadReport& report)
{
    return path + " is damaged: reading stopped at byte " + std::to_string(report.LoadedBytes) + " of "
        + std::to_string(report.FileBytes) + "; the whole file was kept as " + report.DamagedCopy;
}

Status LoadSettingsFile(
    TIniList& store, const std::string& folder, std::string_view name, SettingsLoadReport* report)
{
    const std::string path = JoinPath(folder, name);
    if (!FileExists(path)) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            return Status::Fail(MissingSettingsFileMessage(name));
        if (fd >= 0)
            ::close(fd);
    }
    std::string image;
    if (Status read = ReadWholeFile(path, image); !read)
        return read;
    std::string text = image;
    ScrambleFileImage(text);
    SettingsLoadReport found;
    found.FileBytes = text.size();
    found.LoadedBytes = std::min(text.find('\0'), text.size());
    if (found.LoadedBytes < text.size()) {
        found.Damaged = true;
        if (Status kept = KeepDamagedCopy(folder, name, image, found.DamagedCopy); !kept)
            return Status::Fail(path + " is damaged (reading stops at byte " + std::to_string(found.LoadedBytes)
                + ") and no copy of it could be made: " + kept.error);
    }
    store.LoadFromText(text);
    if (report)
        *report = std::move(found);
    return Status::Ok();
}

Status SaveSettingsFile(const TIniList& store, const std::string& folder, std::string_view name)
{
    std::string image = store.SaveToText();
    ScrambleFileImage(image);
    return WriteFileAtomically(JoinPath(folder, name), image, FilePermissions::OwnerOnly);
}

} // namespace pw

#include "sites/recovery.h"

#include "base/files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pw {

namespace {

constexpr std::string_view kInfoSuffix = ".info";
constexpr std::string_view kPageSuffix = ".page";

// The base names of the copies in `folder`, in order.
std::vector<std::string> CopyNames(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.starts_with("page-") && name.ends_with(kInfoSuffix))
            names.emplace_back(name.substr(0, name.size() - kInfoSuffix.size()));
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

Status SaveRecoveryCopies(const std::string& folder, const std::vector<RecoveryCopy>& copies)
{
    if (copies.empty())
        return Status::Ok();
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return Status::Fail("Cannot create " + folder + ": " + std::strerror(errno));
    size_t next = CopyNames(folder).size() + 1;
    for (const RecoveryCopy& copy : copies) {
        char name[32];
        std::snprintf(name, sizeof name, "page-%06zu", next++);
        const std::string base = JoinPath(folder, name);
        // The bytes first: an info file always has its page.
        if (Status written
            = WriteFileAtomically(base + std::string(kPageSuffix), copy.Bytes, FilePermissions::OwnerOnly);
            !written)
            return written;
        const std::string info = copy.SetupName + '\0' + copy.Path;
        if (Status written
            = WriteFileAtomically(base + std::string(kInfoSuffix), info, FilePermissions::OwnerOnly);
            !written)
            return written;
    }
    return Status::Ok();
}

std::vector<RecoveryCopy> LoadRecoveryCopies(const std::string& folder)
{
    std::vector<RecoveryCopy> copies;
    for (const std::string& name : CopyNames(folder)) {
        const std::string base = JoinPath(folder, name);
        std::string info;
        RecoveryCopy copy;
        if (!ReadWholeFile(base + std::string(kInfoSuffix), info).ok
            || !ReadWholeFile(base + std::string(kPageSuffix), copy.Bytes).ok)
            continue;
        const size_t cut = info.find('\0');
        if (cut == std::string::npos)
            continue;
        copy.SetupName = info.substr(0, cut);
        copy.Path = info.substr(cut + 1);
        copies.push_back(std::move(copy));
    }
    return copies;
}

void ClearRecoveryCopies(const std::string& folder)
{
    for (const std::string& name : CopyNames(folder)) {
        const std::string base = JoinPath(folder, name);
        ::unlink((base + std::string(kInfoSuffix)).c_str());
        ::unlink((base + std::string(kPageSuffix)).c_str());
    }
    ::rmdir(folder.c_str());
}

} // namespace pw

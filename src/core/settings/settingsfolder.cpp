#include "settings/settingsfolder.h"

#include "base/files.h"
#include "settings/settingsfile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pw {

namespace {

bool IsFolder(const std::string& path)
{
    struct stat st { };
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path)
{
    struct stat st { };
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string AccountHome()
{
    const long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string buffer(size > 0 ? static_cast<size_t>(size) : 16384, '\0');
    struct passwd entry { };
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_dir)
        return {};
    return found->pw_dir;
}

// Why `path` cannot be trusted as written by `owner` alone, or "" when it
// can. A link is judged by what it points to, which is what would be read.
std::string Untrusted(const std::string& path, TrustedOwner owner)
{
    struct stat st { };
    if (::stat(path.c_str(), &st) != 0)
        return path + ": " + std::strerror(errno);
    if (st.st_uid != ::geteuid() && !(owner == TrustedOwner::UserOrRoot && st.st_uid == 0))
        return path + " belongs to another user";
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return path + " can be changed by other users";
    return {};
}

std::string FolderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

std::string WhyUntrustedFile(const std::string& file, TrustedOwner owner)
{
    if (std::string why = Untrusted(FolderOf(file), owner); !why.empty())
        return why;
    if (std::string why = Untrusted(file, owner); !why.empty())
        return why;
    // Through a link: the folder that really holds the file.
    char* real = ::realpath(file.c_str(), nullptr);
    if (!real)
        return file + ": " + std::strerror(errno);
    const std::string folder = FolderOf(real);
    std::free(real);
    return folder == FolderOf(file) ? std::string() : Untrusted(folder, owner);
}

SettingsEnvironment CurrentSettingsEnvironment()
{
    SettingsEnvironment env;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"))
        env.xdgConfigHome = xdg;
    if (const char* home = std::getenv("HOME"); home && *home)
        env.home = home;
    else
        env.home = AccountHome();
    return env;
}

Status ChooseSettingsFolder(const std::string& programFolder, const SettingsEnvironment& env, SettingsPlace& place)
{
    std::string notice;
    if (const std::string planted = JoinPath(programFolder, kMainSettingsFile);
        !programFolder.empty() && IsRegularFile(planted)) {
        const std::string why = WhyUntrustedFile(planted, TrustedOwner::User);
        if (why.empty()) {
            place = { programFolder, true, {} };
            return Status::Ok();
        }
        notice = planted + " is not used (" + why + ")";
    }
    std::string base;
    if (env.xdgConfigHome.starts_with('/'))
        base = env.xdgConfigHome;
    else if (env.home.starts_with('/'))
        base = JoinPath(env.home, ".config");
    else
        return Status::Fail("no settings folder: XDG_CONFIG_HOME and HOME are not set to absolute paths");
    place = { JoinPath(base, "pagewick"), false, {} };
    if (!notice.empty())
        place.notice = notice + "; the settings are kept in " + place.folder;
    return Status::Ok();
}

std::string FindDataFolder(const std::string& programFolder)
{
    if (IsRegularFile(JoinPath(programFolder, "ad.html")))
        return programFolder;
    std::string folder = programFolder;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    const auto slash = folder.find_last_of('/');
    const std::string parent = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
    return JoinPath(parent, "share/pagewick");
}

Status MakePrivateFolders(const std::string& path)
{
    if (path.empty())
        return Status::Fail("cannot create a folder with an empty name");
    size_t pos = path.starts_with('/') ? 1 : 0;
    while (true) {
        pos = path.find('/', pos);
        const std::string part = path.substr(0, pos);
        if (!part.empty() && !part.ends_with('/') && ::mkdir(part.c_str(), 0700) != 0) {
            const int error = errno;
            if (error != EEXIST)
                return Status::Fail(part + ": " + std::strerror(error));
            if (!IsFolder(part))
                return Status::Fail(part + ": exists and is not a folder");
        }
        if (pos == std::string::npos)
            break;
        ++pos;
    }
    return Status::Ok();
}

Status ResolveSettingsFolder(const std::string& programFolder, SettingsPlace& place)
{
    SettingsPlace chosenPlace;
    if (Status chosen = ChooseSettingsFolder(programFolder, CurrentSettingsEnvironment(), chosenPlace); !chosen)
        return chosen;
    if (!chosenPlace.portable) {
        if (Status made = MakePrivateFolders(chosenPlace.folder); !made)
            return Status::Fail("cannot create the settings folder: " + made.error);
        struct stat st { };
        if (::stat(chosenPlace.folder.c_str(), &st) == 0 && st.st_uid == ::geteuid() && (st.st_mode & 077) != 0
            && ::chmod(chosenPlace.folder.c_str(), 0700) != 0)
            return Status::Fail(
                "cannot make the settings folder private: " + chosenPlace.folder + ": " + std::strerror(errno));
    }
    place = chosenPlace;
    return Status::Ok();
}

Status PrepareScratchFolder(const std::string& settingsFolder, std::string& scratchFolder)
{
    const std::string folder = JoinPath(settingsFolder, "scratch");
    if (Status made = MakePrivateFolders(folder); !made)
        return Status::Fail("cannot create the scratch folder: " + made.error);
    scratchFolder = folder;
    return Status::Ok();
}

} // namespace pw

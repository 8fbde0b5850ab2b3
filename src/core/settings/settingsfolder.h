#pragma once

#include "base/result.h"

#include <string>

namespace pw {

// Where the settings files (Pagewick.ini, ads.ini, siteinfo.ini, pwh_ads.csv,
// nwks.txt) and the private scratch folder live.
//
// Portable mode: when a Pagewick.ini already stands in the program's folder,
// that folder is used. Otherwise $XDG_CONFIG_HOME/pagewick, where an unset,
// empty or relative XDG_CONFIG_HOME means $HOME/.config (the XDG base
// directory rules), and a missing HOME means the home folder of the user's
// account.
//
// A Pagewick.ini beside the program is trusted only as WhyUntrustedFile with
// TrustedOwner::User allows: in a shared folder another account could plant
// one, with setups and login addresses of its choice. An untrusted one is not
// used, and `notice` says why.
struct SettingsPlace {
    std::string folder;
    bool portable = false;
    std::string notice; // what the user should know about the choice, or ""
};

// Who may own a file that the program trusts: the user alone, or also root
// (what the system installed).
enum class TrustedOwner { User, UserOrRoot };

// Why `file` may have been planted or changed by another account, or "" when
// it cannot: the file, the folder `file` names it in and, for a link, the
// folder of the file it points to must each belong to the user (or root, as
// `owner` allows) and be writable by neither the group nor others. A file
// that cannot be read is untrusted too. The reason names the path at fault.
std::string WhyUntrustedFile(const std::string& file, TrustedOwner owner);

// The environment the rule reads, passed in so that the rule can be checked
// without touching the process environment.
struct SettingsEnvironment {
    std::string xdgConfigHome;
    std::string home;
};

// The environment of the running process (HOME falls back to the account's
// home folder).
SettingsEnvironment CurrentSettingsEnvironment();

// The folder the rule picks; creates nothing. Fails (leaving `place` as it
// was) when neither portable mode applies nor a home folder is known.
Status ChooseSettingsFolder(
    const std::string& programFolder, const SettingsEnvironment& env, SettingsPlace& place);

// Picks the folder as above for the running process and creates it when
// missing (mode 0700, with any missing parent folders, also 0700). An existing
// settings folder of the user that others may enter is narrowed to 0700 (the
// files in it hold passwords); the parents are left as they are. On failure
// the error names the folder and the system's reason, and `place` is untouched.
Status ResolveSettingsFolder(const std::string& programFolder, SettingsPlace& place);

// The private folder of the scratch files inside the settings folder
// ("scratch", mode 0700), created when missing.
Status PrepareScratchFolder(const std::string& settingsFolder, std::string& scratchFolder);

// The folder of the program's read-only data (ad.html, help/index.html): the
// program's own folder when an ad.html stands there, else the share/pagewick
// folder beside the program's bin folder (<prefix>/bin -> <prefix>/share/pagewick;
// the build tree has the same shape).
std::string FindDataFolder(const std::string& programFolder);

// Creates `path` and its missing parents with mode 0700. An existing folder is
// left as it is; an existing file of another kind is an error.
Status MakePrivateFolders(const std::string& path);

} // namespace pw

#pragma once

#include "base/result.h"
#include "settings/inilist.h"

#include <string>
#include <string_view>

namespace pw {

// The three settings files.
inline constexpr std::string_view kMainSettingsFile = "Pagewick.ini";
inline constexpr std::string_view kBannerFile = "ads.ini";
inline constexpr std::string_view kProfileFile = "siteinfo.ini";

// What a load found out about the file besides its content.
struct SettingsLoadReport {
    // The load stopped before the end of the file (a byte that decodes to
    // NUL): a save would write the shortened store over it.
    bool Damaged = false;
    size_t LoadedBytes = 0; // bytes before the one that stopped the load
    size_t FileBytes = 0;
    // Where the whole damaged file was copied (NAME.damaged-YYYYMMDD-HHMMSS
    // beside it, local time); a copy with the same bytes made by an earlier
    // load is used again.
    std::string DamagedCopy;
};

// Loads `folder`/`name` into the store: an empty file is created when there is
// none (mode 0600), the image is unscrambled and loaded with title
// normalisation. When the file is missing and cannot be created, the error is
// the message the user is shown ("イニシャルファイル[name]は存在しません、…"),
// and the store is not touched. A file that cannot be read leaves the store as
// it was and returns the system's error text.
//
// A file whose load stops before its end is copied (mode 0600) before the
// store is loaded, and `report` says so; when the copy cannot be made the load
// fails and the store is not touched, so that no save can shorten the file.
Status LoadSettingsFile(
    TIniList& store, const std::string& folder, std::string_view name, SettingsLoadReport* report = nullptr);

// The message that tells the user about a damaged file and its copy.
std::string DamagedSettingsFileMessage(const std::string& path, const SettingsLoadReport& report);

// Writes the store scrambled to `folder`/`name` through a temporary file that
// replaces the old one (mode 0600). A failed save leaves the old file intact.
Status SaveSettingsFile(const TIniList& store, const std::string& folder, std::string_view name);

// The message shown when a settings file is missing and cannot be created.
std::string MissingSettingsFileMessage(std::string_view name);

} // namespace pw

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

// Loads `folder`/`name` into the store: an empty file is created when there is
// none (mode 0600), the image is unscrambled and loaded with title
// normalisation. When the file is missing and cannot be created, the error is
// the message the user is shown ("イニシャルファイル[name]は存在しません、…"),
// and the store is not touched. A file that cannot be read leaves the store as
// it was and returns the system's error text.
Status LoadSettingsFile(TIniList& store, const std::string& folder, std::string_view name);

// Writes the store scrambled to `folder`/`name` through a temporary file that
// replaces the old one (mode 0600). A failed save leaves the old file intact.
Status SaveSettingsFile(const TIniList& store, const std::string& folder, std::string_view name);

// The message shown when a settings file is missing and cannot be created.
std::string MissingSettingsFileMessage(std::string_view name);

} // namespace pw

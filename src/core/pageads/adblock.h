#pragma once

#include "base/sjistext.h"
#include "text/pageencoding.h"

#include <string>
#include <string_view>

// The ad block format: stretches of page text fenced by HTML comment markers
// that carry the ad's name.
//
//   <!--PWH[name]-->            normal or member block start
//   <!--PWHEND-->               normal or member block end
//   <!--PWR[name]-->            rotation block start
//   <!--PWREND-->               rotation block end
namespace pw {

enum TAdBlockKind {
    abRotation = 0,
    abNormal = 1,
    abMember = 2,
    abNone = 3,
};

inline constexpr std::string_view kMarkerPrefix = "<!--PW";
inline constexpr std::string_view kNormalStart = "<!--PWH[";
inline constexpr std::string_view kRotationStart = "<!--PWR[";
inline constexpr std::string_view kNormalEnd = "<!--PWHEND-->";
inline constexpr std::string_view kRotationEnd = "<!--PWREND-->";
inline constexpr std::string_view kMarkerClose = "-->";
inline constexpr std::string_view kBannerArrayLine = "var pw_banners=[";
inline constexpr std::string_view kCrLf = "\r\n";

// Appended to the banner's name in the marker of a rotation block.
inline const std::string_view kRotationNameSuffix = "等"_sjis;

// The block text for abNormal, abMember or abRotation; empty for any other
// kind. `name` and `html` are page text; lines are joined by CR LF, with no
// break before the first line or after the last.
std::string BuildAdBlock(std::string_view name, std::string_view html, TAdBlockKind kind, PageEncoding encoding);

// The HTML as a double-quoted script string literal followed by a comma. LF,
// CR, '"' and '\' are escaped and "</" becomes "<\/". A double-byte character
// is copied whole, so its second byte is never taken for a backslash.
std::string ScriptQuote(std::string_view html, PageEncoding encoding);

} // namespace pw

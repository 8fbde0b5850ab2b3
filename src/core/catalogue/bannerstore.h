#pragma once

#include "base/result.h"
#include "base/sjistext.h"
#include "catalogue/banner.h"
#include "settings/inilist.h"

#include <string>
#include <string_view>

// The catalogue's stored form in "ads.ini": "Setups"/"AdCount" and one section
// "Banner<n>" per banner.
namespace pw {

inline const std::string_view kDefaultBannerName = "未命名"_sjis;

// One-line coding of multi-line values: "$" as "$$", CR as "$D", LF as "$A".
std::string EscapeIniText(std::string_view text);
// Reads "$$", "$D" and "$A" back; a "$" before any other character is kept
// together with that character.
std::string UnescapeIniText(std::string_view text);

// Rebuilds the catalogue from the store: banners 1 to AdCount in file order,
// each linked to the first network of that name (none when no network has it).
// The selected row is kept when it is still a valid row.
void LoadBanners(BannerList& list, const TIniList& store, const NetworkList& networks);

// Writes every banner into its section and the count, then saves "ads.ini" in
// `folder`.
Status SaveBanners(const BannerList& list, TIniList& store, const std::string& folder);
// The same without saving the file.
void WriteBanners(const BannerList& list, TIniList& store);

// "Banner" + n.
std::string BannerSection(int32_t number);

} // namespace pw

#pragma once

#include "base/result.h"
#include "base/usermessage.h"
#include "catalogue/banner.h"
#include "settings/inilist.h"

#include <functional>
#include <string>
#include <string_view>

// Taking banners out of the catalogue: removal with renumbering, and the
// append-only archive file of retired ads.
namespace pw {

inline constexpr std::string_view kArchiveFile = "pwh_ads.csv";

inline constexpr std::string_view kConfirmArchiveQuestion
    = "\x8DL\x8D\x90\x82\xCC\x95\xDB\x8A\xC7\x82\xCD\x81"
      "A\x8DL\x8D\x90\x82\xF0\x8D\xED\x8F\x9C\x82\xB5\x81"
      "A\x82"
      "\xBB\x82\xB5\x82\xC4\x82"
      "b\x82r\x82u\x83t\x83@\x83"
      "C\x83\x8B\x82\xC9\x95\xDB\x91\xB6\x82\xB5\x82\xDC\x82\xB7"
      "\x81"
      "A\x88\xEA\x92U\x95\xDB\x8A\xC7\x82\xB3\x82\xEA\x82\xBD\x8DL\x8D\x90\x82\xCD\x96{\x83V\x83X\x83"
      "e\x83\x80"
      "\x82\xC5\x82\xCC\x97\x98\x97p\x82\xAA\x82\xC5\x82\xAB\x82\xC8\x82\xAD\x82\xC8\x82\xE8\x82\xDC\x82\xB7\x81"
      "B\x8C"
      "\xBB\x8D\xDD\x82\xCC\x8DL\x8D\x90\x82\xF0\x95\xDB\x8A\xC7\x82\xB5\x82\xDC\x82\xB7\x82\xA9\x81H"; // 広告の保管は、…現在の広告を保管しますか？
inline constexpr std::string_view kArchiveCreateFailedMessage
    = "\x83t\x83@\x83"
      "C\x83\x8B\x82\xF0\x90V\x8BK\x82\xB7\x82\xE9\x82\xB1\x82\xC6\x82\xAA\x82\xC5\x82\xAB\x82\xDC\x82"
      "\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD\x81"
      "B"; // ファイルを新規することができませんでした。
inline constexpr std::string_view kArchiveWriteFailedMessage
    = "\x83t\x83@\x83"
      "C\x83\x8B\x82\xF0\x95\xDB\x91\xB6\x82\xB7\x82\xE9\x82\xB1\x82\xC6\x82\xAA\x82\xC5\x82\xAB\x82\xDC"
      "\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD\x81"
      "B"; // ファイルを保存することができませんでした。

// The click rate as the archive writes it: general notation, at most 15
// significant digits (0, 1.5, 33.3333320617676).
std::string FormatArchiveRate(float rate);

// The banner's archive line: network name, name, type, PV, CT, rate, revenue
// and the escaped HTML, separated by commas, ending in CR LF.
std::string ArchiveLine(const TAdBanner& banner);

enum class ArchiveWrite { Ok, OpenFailed, WriteFailed };

struct ArchiveWriteResult {
    ArchiveWrite Outcome = ArchiveWrite::Ok;
    std::string Error; // the system's text for OpenFailed and WriteFailed
};

// Appends the banner's line to the existing file at `path` (it is not
// created) and flushes it to disk.
ArchiveWriteResult AppendBannerToArchive(const TAdBanner& banner, const std::string& path);

// Told the name of a banner that leaves the catalogue, so that the open page
// can mark its blocks of that name as unlisted.
using BannerRemoved = std::function<void(const std::string& spaceName)>;

// Takes row `row` out of the catalogue: `removed` hears its name, the banners after it are renumbered, the former
// highest section is erased, the catalogue is saved into `folder`, and the row at the same index (or the last row)
// becomes selected.
Status RemoveBanner(
    BannerList& list, TIniList& store, const std::string& folder, int row, const BannerRemoved& removed);

struct ArchiveResult {
    bool Archived = false;
    UserMessage Message; // the box shown afterwards (error, or the saved-to warning)
    Status Saved; // the catalogue save after the removal
};

// The archive command after its question was answered Yes: creates the
// archive in `folder` when missing, appends the banner and removes it.
ArchiveResult ArchiveBanner(
    BannerList& list, TIniList& store, const std::string& folder, int row, const BannerRemoved& removed);

} // namespace pw

#pragma once

#include "base/result.h"
#include "base/sjistext.h"
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

inline const std::string_view kConfirmArchiveQuestion
    = "広告の保管は、広告を削除し、そしてＣＳＶファイルに保存します、"
      "一旦保管された広告は本システムでの利用ができなくなります。現在の広告を保管しますか？"_sjis;
inline const std::string_view kArchiveCreateFailedMessage = "ファイルを新規することができませんでした。"_sjis;
inline const std::string_view kArchiveWriteFailedMessage = "ファイルを保存することができませんでした。"_sjis;

// The click rate as the archive writes it: general notation, at most 15
// significant digits (0, 1.5, 33.3333320617676).
std::string FormatArchiveRate(float rate);

// The banner's archive line: network name, name, type, PV, CT, rate, revenue
// and the escaped HTML, separated by commas, ending in CR LF. A field that
// holds a comma or a line break, or starts with a double quote, is quoted as
// CSV quotes it (in double quotes, inner quotes doubled); the others are
// written as they are.
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

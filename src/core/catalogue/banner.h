#pragma once

#include "base/sjistext.h"
#include "networks/network.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pw {

// One catalogue ad.
class TAdBanner {
public:
    int32_t Number = 0; // its values live in the section "Banner" + Number
    TNetwork* Network = nullptr; // not owned; none stands for その他
    std::string SpaceName;
    std::string Type;
    int32_t PV = 0;
    int32_t CT = 0;
    float ClickRate = 0; // CT * 100 / PV, never stored
    int32_t TotalRevenue = 0;
    std::string BannerHTML;
    // Stable id of the banner's report history (stats.sqlite), kept through
    // renames and renumbering; empty until a report first matches it.
    std::string StatsId;
};

// The catalogue: the rows of the banner list in display order, each owning its
// banner, and the selected row (-1 for none).
struct BannerList {
    std::vector<std::unique_ptr<TAdBanner>> Rows;
    int Selected = -1;

    TAdBanner* SelectedBanner() const
    {
        return Selected >= 0 && Selected < static_cast<int>(Rows.size()) ? Rows[Selected].get() : nullptr;
    }
};

// The name that stands for "no network" in lists, files and the editor.
inline const std::string_view kNoNetworkName = "その他"_sjis;
// Name of a new banner: this prefix and a number.
inline const std::string_view kUnnamedBannerPrefix = "未命名広告"_sjis;

// CT * 100 / PV in floating point, kept in single precision; 0 when PV is 0.
float ComputeClickRate(int32_t pv, int32_t ct);

// The banner's network name, or その他 when it has none.
std::string BannerNetworkName(const TAdBanner& banner);

// A banner for `html`: network and type detected from the HTML, the name
// 未命名広告 followed by `n`, statistics 0. The caller sets Number.
std::unique_ptr<TAdBanner> CreateBanner(std::string_view html, int64_t n, const NetworkList& networks);

// Cuts `text` at its first "[" (stepping over double-byte characters); if the
// rest is empty, -1; otherwise the first row whose banner's SpaceName equals
// the rest exactly and whose banner is not `except`.
int FindBannerByName(const BannerList& list, std::string_view text, const TAdBanner* except = nullptr);

// The first row whose BannerHTML equals `html` without regard to the case of
// ASCII letters, or -1.
int FindBannerByHTML(const BannerList& list, std::string_view html);

// The part of a node text before its numbering: everything before the first
// "[" that is a character of its own (not the second byte of a double-byte one).
std::string_view NameBeforeNumbering(std::string_view text);

} // namespace pw

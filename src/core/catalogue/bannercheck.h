#pragma once

#include "catalogue/banner.h"

#include <cstdint>
#include <string>
#include <string_view>

// The banner editor's data side: the checks of its OK button, the values it
// stores, the name of a new banner and the automatic type.
namespace pw {

// The editor's fields as the user left them.
struct BannerFields {
    TNetwork* Network = nullptr;
    std::string SpaceName;
    std::string Type;
    std::string PV;
    std::string CT;
    std::string TotalRevenue;
    std::string BannerHTML; // the editor's lines joined by CR LF
};

enum class BannerField { None, SpaceName, PV, CT, TotalRevenue };

struct BannerCheck {
    bool Ok = true;
    std::string Message; // the warning shown when a check fails
    BannerField Focus = BannerField::None; // the field that receives the focus
};

// The OK checks in order: empty name, "[" or "]" in the name, a name that
// another banner (not `edited`) has, then PV, CT and revenue as whole numbers.
BannerCheck CheckBannerFields(const BannerList& list, const TAdBanner* edited, const BannerFields& fields);

// Stores checked fields into the banner: numbers, click rate, and the HTML
// without leading and trailing blanks.
void ApplyBannerFields(TAdBanner& banner, const BannerFields& fields);

// A whole number with an optional sign that fits 32 bits.
bool ParseWholeNumber(std::string_view text, int32_t& value);

// True when the name holds "[" or "]" as a character of its own (the second
// byte of a double-byte character does not count).
bool NameHasBracket(std::string_view name);

// The n of a new banner's name 未命名広告<n + 1>: the largest k for which a
// banner is named 未命名広告 followed by the whole number k, or 0.
int64_t LargestUnnamedBannerNumber(const BannerList& list);

// The banner that the editor opens for new ad code (the NewBanner command
// passes one blank): named 未命名広告<n + 1>, network and type detected,
// numbered after the last row.
std::unique_ptr<TAdBanner> NewBannerFromHTML(
    const BannerList& list, std::string_view html, const NetworkList& networks);

// Whether leaving the HTML editor puts the detected kind into the type field:
// when it is empty or 未知タイプ, or, unless the user changed it, exactly
// テキスト広告 or イメージ広告.
bool TakesDetectedType(std::string_view currentType, bool typeChanged);

} // namespace pw

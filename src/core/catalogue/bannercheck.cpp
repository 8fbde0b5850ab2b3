#include "catalogue/bannercheck.h"

#include "catalogue/adkind.h"
#include "networks/siteinfo.h"
#include "text/sjis.h"

#include <charconv>

namespace pw {

namespace {

constexpr std::string_view kNameMissing
    = "\x8DL\x8D\x90\x96\xBC\x82\xF0\x93\xFC\x97\xCD\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81"
      "B"; // 広告名を入力してください。
constexpr std::string_view kNameBrackets = "\x8DL\x8D\x90\x96\xBC\x82\xC9\"]\"\x82\xC6\"["
                                           "\"\x82\xF0\x8Eg\x82\xED\x82\xC8\x82\xA2\x82\xC5\x82\xAD\x82\xBE"
                                           "\x82\xB3\x82\xA2\x81"
                                           "B"; // 広告名に"]"と"["を使わないでください。
constexpr std::string_view kNameUsedPrefix = "\x8DL\x8D\x90\x96\xBC["; // 広告名[
constexpr std::string_view kNameUsedSuffix
    = "]\x82\xCD\x82\xB7\x82\xC5\x82\xC9\x8Eg\x82\xED\x82\xEA\x82\xC4\x82\xA2\x82\xDC\x82\xB7\x81"
      "B"; // ]はすでに使われています。
constexpr std::string_view kPVNotNumber
    = "\x83y\x81[\x83W\x83r\x83\x85\x81["
      "\x90\x94\x82\xCD\x90\xAE\x90\x94\x82\xC5\x93\xFC\x97\xCD\x82\xB5\x82\xC4\x82"
      "\xAD\x82\xBE\x82\xB3\x82\xA2\x81"
      "B"; // ページビュー数は整数で入力してください。
constexpr std::string_view kCTNotNumber
    = "\x83N\x83\x8A\x83"
      "b\x83N\x90\x94\x82\xCD\x90\xAE\x90\x94\x82\xC5\x93\xFC\x97\xCD\x82\xB5\x82\xC4\x82\xAD"
      "\x82\xBE\x82\xB3\x82\xA2\x81"
      "B"; // クリック数は整数で入力してください。
constexpr std::string_view kRevenueNotNumber = "\x8D\xA1\x82\xDC\x82\xC5\x82\xCC\x8E\xFB\x93\xFC\x82\xCD\x90\xAE"
                                               "\x90\x94\x82\xC5\x93\xFC\x97\xCD\x82\xB5\x82"
                                               "\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81"
                                               "B"; // 今までの収入は整数で入力してください。

BannerCheck Fail(std::string message, BannerField focus)
{
    return { false, std::move(message), focus };
}

} // namespace

bool ParseWholeNumber(std::string_view text, int32_t& value)
{
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty() || text.front() == '+')
        return false;
    int32_t parsed = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, parsed);
    if (ec != std::errc() || ptr != end)
        return false;
    value = parsed;
    return true;
}

bool NameHasBracket(std::string_view name)
{
    return sjis::FindChar(name, '[', 0) != std::string_view::npos
        || sjis::FindChar(name, ']', 0) != std::string_view::npos;
}

BannerCheck CheckBannerFields(const BannerList& list, const TAdBanner* edited, const BannerFields& fields)
{
    if (fields.SpaceName.empty())
        return Fail(std::string(kNameMissing), BannerField::None);
    if (NameHasBracket(fields.SpaceName))
        return Fail(std::string(kNameBrackets), BannerField::None);
    if (FindBannerByName(list, fields.SpaceName, edited) >= 0)
        return Fail(
            std::string(kNameUsedPrefix).append(fields.SpaceName).append(kNameUsedSuffix), BannerField::SpaceName);
    int32_t number = 0;
    if (!ParseWholeNumber(fields.PV, number))
        return Fail(std::string(kPVNotNumber), BannerField::PV);
    if (!ParseWholeNumber(fields.CT, number))
        return Fail(std::string(kCTNotNumber), BannerField::CT);
    if (!ParseWholeNumber(fields.TotalRevenue, number))
        return Fail(std::string(kRevenueNotNumber), BannerField::TotalRevenue);
    return {};
}

void ApplyBannerFields(TAdBanner& banner, const BannerFields& fields)
{
    banner.Network = fields.Network;
    banner.SpaceName = fields.SpaceName;
    banner.Type = fields.Type;
    ParseWholeNumber(fields.PV, banner.PV);
    ParseWholeNumber(fields.CT, banner.CT);
    ParseWholeNumber(fields.TotalRevenue, banner.TotalRevenue);
    banner.ClickRate = ComputeClickRate(banner.PV, banner.CT);
    banner.BannerHTML = TrimBlanks(fields.BannerHTML);
}

int64_t LargestUnnamedBannerNumber(const BannerList& list)
{
    int64_t largest = 0;
    for (const auto& row : list.Rows) {
        const std::string_view name = row->SpaceName;
        if (name.size() <= kUnnamedBannerPrefix.size()
            || name.substr(0, kUnnamedBannerPrefix.size()) != kUnnamedBannerPrefix)
            continue;
        int32_t k = 0;
        if (ParseWholeNumber(name.substr(kUnnamedBannerPrefix.size()), k) && k > largest)
            largest = k;
    }
    return largest;
}

std::unique_ptr<TAdBanner> NewBannerFromHTML(
    const BannerList& list, std::string_view html, const NetworkList& networks)
{
    auto banner = CreateBanner(html, LargestUnnamedBannerNumber(list) + 1, networks);
    banner->Number = static_cast<int32_t>(list.Rows.size()) + 1;
    return banner;
}

bool TakesDetectedType(std::string_view currentType, bool typeChanged)
{
    if (currentType.empty() || currentType == kKindUnknown)
        return true;
    return !typeChanged && (currentType == kKindText || currentType == kKindImage);
}

} // namespace pw

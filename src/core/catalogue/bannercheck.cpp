#include "catalogue/bannercheck.h"

#include "base/sjistext.h"
#include "catalogue/adkind.h"
#include "networks/siteinfo.h"
#include "text/sjis.h"

#include <charconv>

namespace pw {

namespace {

const std::string_view kNameMissing = "広告名を入力してください。"_sjis;
const std::string_view kNameBrackets = "広告名に\"]\"と\"[\"を使わないでください。"_sjis;
const std::string_view kNameUsedPrefix = "広告名["_sjis;
const std::string_view kNameUsedSuffix = "]はすでに使われています。"_sjis;
const std::string_view kPVNotNumber = "ページビュー数は整数で入力してください。"_sjis;
const std::string_view kCTNotNumber = "クリック数は整数で入力してください。"_sjis;
const std::string_view kRevenueNotNumber = "今までの収入は整数で入力してください。"_sjis;

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

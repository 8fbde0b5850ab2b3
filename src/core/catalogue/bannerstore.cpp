#include "catalogue/bannerstore.h"

#include "base/sjistext.h"
#include "settings/settingsfile.h"

namespace pw {

namespace {

constexpr std::string_view kSetupsSection = "Setups";
constexpr std::string_view kAdCountKey = "AdCount";
constexpr std::string_view kStatsIdKey = "StatsId";

} // namespace

std::string EscapeIniText(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        switch (c) {
        case '$':
            out += "$$";
            break;
        case '\r':
            out += "$D";
            break;
        case '\n':
            out += "$A";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string UnescapeIniText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '$' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        if (next == '$')
            out += '$';
        else if (next == 'D')
            out += '\r';
        else if (next == 'A')
            out += '\n';
        else
            out.append(1, '$').append(1, next);
    }
    return out;
}

std::string BannerSection(int32_t number)
{
    return "Banner" + std::to_string(number);
}

void LoadBanners(BannerList& list, const TIniList& store, const NetworkList& networks)
{
    const int selected = list.Selected;
    list.Rows.clear();
    const int count = CappedCount(store, store.ReadInteger(kSetupsSection, kAdCountKey, 0));
    for (int n = 1; n <= count; ++n) {
        const std::string section = BannerSection(n);
        auto banner = std::make_unique<TAdBanner>();
        banner->Number = n;
        banner->SpaceName = store.ReadString(section, "SpaceName", kDefaultBannerName);
        banner->Type = store.ReadString(section, "Type", "未知タイプ"_sjis);
        banner->PV = store.ReadInteger(section, "PV", 0);
        banner->CT = store.ReadInteger(section, "CT", 0);
        banner->TotalRevenue = store.ReadInteger(section, "TotalRevenue", 0);
        banner->ClickRate = ComputeClickRate(banner->PV, banner->CT);
        banner->BannerHTML = UnescapeIniText(store.ReadString(section, "BannerHTML", ""));
        banner->StatsId = store.ReadString(section, kStatsIdKey, "");
        const std::string network = store.ReadString(section, "Network", "");
        for (const auto& candidate : networks) {
            if (candidate->Name == network) {
                banner->Network = candidate.get();
                break;
            }
        }
        list.Rows.push_back(std::move(banner));
    }
    list.Selected = selected >= 0 && selected < static_cast<int>(list.Rows.size()) ? selected : -1;
}

void WriteBanners(const BannerList& list, TIniList& store)
{
    store.WriteInteger(kSetupsSection, kAdCountKey, static_cast<int>(list.Rows.size()));
    for (const auto& banner : list.Rows) {
        const std::string section = BannerSection(banner->Number);
        store.WriteString(section, "SpaceName", banner->SpaceName);
        store.WriteString(section, "Type", banner->Type);
        store.WriteInteger(section, "PV", banner->PV);
        store.WriteInteger(section, "CT", banner->CT);
        store.WriteInteger(section, "TotalRevenue", banner->TotalRevenue);
        store.WriteString(section, "BannerHTML", EscapeIniText(banner->BannerHTML));
        store.WriteString(section, "Network", BannerNetworkName(*banner));
        // Written only for banners with a history, so that other files keep
        // their keys; a section renumbered onto a banner without one loses the
        // id it held.
        if (!banner->StatsId.empty() || !store.ReadString(section, kStatsIdKey, "").empty())
            store.WriteString(section, kStatsIdKey, banner->StatsId);
    }
}

Status SaveBanners(const BannerList& list, TIniList& store, const std::string& folder)
{
    WriteBanners(list, store);
    return SaveSettingsFile(store, folder, kBannerFile);
}

} // namespace pw

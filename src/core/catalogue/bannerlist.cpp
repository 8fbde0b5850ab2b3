#include "catalogue/bannerlist.h"

#include "text/sjis.h"

#include <algorithm>
#include <cstdio>

namespace pw {

std::string FormatClickRate(float rate)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%5.2f%%", static_cast<double>(rate));
    return buffer;
}

std::string BannerColumnText(const TAdBanner& banner, int column)
{
    switch (column) {
    case 0:
        return banner.SpaceName;
    case 1:
        return BannerNetworkName(banner);
    case 2:
        return banner.Type;
    case 3:
        return std::to_string(banner.PV);
    case 4:
        return std::to_string(banner.CT);
    case 5:
        return FormatClickRate(banner.ClickRate);
    case 6:
        return std::to_string(banner.TotalRevenue);
    default:
        return {};
    }
}

namespace {

template <typename T> int CompareNumber(T a, T b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

} // namespace

void SortBanners(BannerList& list, int tag, bool descending)
{
    const TAdBanner* selected = list.SelectedBanner();
    // Text keys are folded once, not at every comparison.
    std::vector<std::pair<std::string, TAdBanner*>> keyed;
    keyed.reserve(list.Rows.size());
    for (auto& row : list.Rows) {
        std::string key;
        if (tag == 0)
            key = sjis::ToUpperAscii(row->SpaceName);
        else if (tag == 1)
            key = sjis::ToUpperAscii(BannerNetworkName(*row));
        else if (tag == 2)
            key = sjis::ToUpperAscii(row->Type);
        keyed.emplace_back(std::move(key), row.release());
    }
    auto less = [tag](const auto& a, const auto& b) {
        switch (tag) {
        case 0:
        case 1:
        case 2:
            return std::string_view(a.first) < std::string_view(b.first);
        case 3:
            return CompareNumber(a.second->PV, b.second->PV) < 0;
        case 4:
            return CompareNumber(a.second->CT, b.second->CT) < 0;
        case 5:
            return CompareNumber(a.second->ClickRate, b.second->ClickRate) < 0;
        case 6:
            return CompareNumber(a.second->TotalRevenue, b.second->TotalRevenue) < 0;
        default:
            return false;
        }
    };
    std::sort(keyed.begin(), keyed.end(), less);
    if (descending)
        std::reverse(keyed.begin(), keyed.end());
    list.Rows.clear();
    list.Selected = -1;
    for (auto& [key, banner] : keyed) {
        if (banner == selected)
            list.Selected = static_cast<int>(list.Rows.size());
        list.Rows.emplace_back(banner);
    }
}

void ClickBannerColumn(BannerList& list, BannerSortState& state, int column)
{
    const bool descending = state.Column == column && !state.Descending;
    SortBanners(list, column, descending);
    state.Column = column;
    state.Descending = descending;
}

} // namespace pw

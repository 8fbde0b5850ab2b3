#pragma once

#include "catalogue/banner.h"

#include <string>

// The banner list's data side: cell texts, the rate format and sorting.
namespace pw {

inline constexpr int kBannerColumnCount = 7;

// "%5.2f%%": at least five characters, two decimals, then a percent sign.
std::string FormatClickRate(float rate);

// The text of a cell: 0 name, 1 network name, 2 type, 3 PV, 4 CT, 5 rate,
// 6 total revenue.
std::string BannerColumnText(const TAdBanner& banner, int column);

// Re-orders the rows by the comparison of `tag` (the column index): texts
// without regard to the case of ASCII letters, numbers as numbers; descending
// is the reverse of the ascending order. Banners that compare equal keep no
// defined order. The selected banner stays selected.
void SortBanners(BannerList& list, int tag, bool descending);

// The sort mark of the list header: the marked column (-1 for none) and its
// direction.
struct BannerSortState {
    int Column = -1;
    bool Descending = false;
};

// A click on a column header: a column marked ascending turns descending, any
// other column starts ascending; the list is sorted and only that column keeps
// a mark.
void ClickBannerColumn(BannerList& list, BannerSortState& state, int column);

} // namespace pw

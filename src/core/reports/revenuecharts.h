#pragma once

#include "reports/statshistory.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// The figures the revenue charts draw, computed from the history's cells so
// that the window only renders them.
namespace pw {

// The `count` months ending with `last` ("YYYY-MM"), ascending.
std::vector<std::string> MonthsEndingWith(std::string_view last, int count);

// Revenue per month for each network: Networks ascending (その他 last),
// Revenue[network][month] in the order of Periods.
struct RevenueByNetwork {
    std::vector<std::string> Periods;
    std::vector<std::string> Networks;
    std::vector<std::vector<int64_t>> Revenue;
};
RevenueByNetwork MonthlyRevenueByNetwork(
    const std::vector<StatsCell>& cells, const std::vector<std::string>& periods);

// The banners with the most revenue in `period`, at most `count`, highest
// first (ties by name). Names come from `names` (id to name; the catalogue's
// names first, then the history's last known ones), else the id.
struct TopBanner {
    std::string BannerId;
    std::string Name;
    StatsFigures Figures;
    float ClickRate = 0; // clicks * 100 / page views
};
std::vector<TopBanner> TopBannersByRevenue(const std::vector<StatsCell>& cells, std::string_view period,
    const std::map<std::string, std::string>& names, size_t count = 10);

// A value axis with round ticks: from 0 (or from a round number below the
// smallest value, when that is negative) to a round number at or above the
// largest, in at most `intervals` steps of 1, 2 or 5 times a power of ten,
// never less than 1 (the figures are whole numbers).
struct AxisScale {
    double Min = 0;
    double Max = 0;
    double Step = 0;
    int Ticks = 0; // the lines drawn, both ends included
};
AxisScale RoundAxisScale(double smallest, double largest, int intervals = 5);

// One CSV record (RFC 4180: fields with a comma, quote or line break quoted),
// ending in CR LF.
std::string CsvRecordText(const std::vector<std::string>& fields);

} // namespace pw

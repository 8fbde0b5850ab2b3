#include "reports/revenuecharts.h"

#include "reports/csv.h"
#include "reports_fixture.h"

#include <gtest/gtest.h>

namespace pw {
namespace {

using test::Sjis;

TEST(RevenueCharts, MonthsCrossTheYear)
{
    EXPECT_EQ(
        MonthsEndingWith("2026-02", 4), (std::vector<std::string> { "2025-11", "2025-12", "2026-01", "2026-02" }));
    EXPECT_EQ(MonthsEndingWith("2026-02", 12).front(), "2025-03");
    EXPECT_TRUE(MonthsEndingWith("", 12).empty());
}

TEST(RevenueCharts, RevenuePerMonthIsStackedByNetworkWithNoneLast)
{
    const std::string none(kNoNetworkName);
    const std::vector<StatsCell> cells = {
        { "a", "A8.net", "2026-01", { 1, 1, 100 } }, { "b", "A8.net", "2026-01", { 1, 1, 50 } },
        { "a", none, "2026-02", { 1, 1, 7 } }, { "c", Sjis("もしも"), "2026-02", { 1, 1, 30 } },
        { "c", Sjis("もしも"), "2025-12", { 1, 1, 999 } }, // outside the months asked for
    };
    const RevenueByNetwork chart = MonthlyRevenueByNetwork(cells, { "2026-01", "2026-02" });
    EXPECT_EQ(chart.Networks, (std::vector<std::string> { "A8.net", Sjis("もしも"), none }));
    EXPECT_EQ(chart.Revenue, (std::vector<std::vector<int64_t>> { { 150, 0 }, { 0, 30 }, { 0, 7 } }));
}

TEST(RevenueCharts, TopBannersOfAMonthByRevenueWithTheirClickRate)
{
    std::vector<StatsCell> cells;
    for (int i = 0; i < 15; ++i)
        cells.push_back({ "id" + std::to_string(i), "A8", "2026-03", { 1000, i, 100 * (i % 12) } });
    cells.push_back({ "id3", "VC", "2026-03", { 1000, 10, 5000 } }); // a second network adds to the banner
    cells.push_back({ "id4", "A8", "2026-02", { 1, 1, 1000000 } }); // another month
    const auto top = TopBannersByRevenue(cells, "2026-03", { { "id3", "楽天" } });
    ASSERT_EQ(top.size(), 10u);
    EXPECT_EQ(top[0].Name, "楽天");
    EXPECT_EQ(top[0].Figures, (StatsFigures { 2000, 13, 5300 }));
    EXPECT_FLOAT_EQ(top[0].ClickRate, 0.65f);
    EXPECT_EQ(top[1].Name, "id11");
    // id0 and id12 both earn 0 and are not among the ten.
    for (const auto& banner : top)
        EXPECT_TRUE(banner.BannerId != "id0" && banner.BannerId != "id12") << banner.BannerId;
}

TEST(RevenueCharts, CsvRecordsReadBackAsWritten)
{
    const std::vector<std::string> fields = { "plain", "with,comma", "say \"hi\"", "two\r\nlines", "" };
    std::vector<CsvRecord> records;
    ASSERT_TRUE(ParseCsv(CsvRecordText(fields) + CsvRecordText({ "x" }), records).ok);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].Fields, fields);
}

// Value axes start at 0 and end on a round number, with ticks on round steps.
TEST(RevenueCharts, AxesRunFromZeroInRoundSteps)
{
    struct Case {
        double smallest, largest;
        AxisScale expected;
    };
    const Case cases[] = {
        { 0, 18432, { 0, 20000, 5000, 5 } },
        { 1200, 1400, { 0, 1500, 500, 4 } },
        { 0, 3, { 0, 3, 1, 4 } },
        { 0, 0, { 0, 1, 1, 2 } },
        { 0, 100, { 0, 100, 20, 6 } },
        { 0, 101, { 0, 150, 50, 4 } },
        { -700, 1400, { -1000, 1500, 500, 6 } },
        { 0, 9.2e18, { 0, 1e19, 2e18, 6 } },
    };
    for (const auto& c : cases) {
        const AxisScale scale = RoundAxisScale(c.smallest, c.largest);
        EXPECT_DOUBLE_EQ(scale.Min, c.expected.Min) << c.largest;
        EXPECT_DOUBLE_EQ(scale.Max, c.expected.Max) << c.largest;
        EXPECT_DOUBLE_EQ(scale.Step, c.expected.Step) << c.largest;
        EXPECT_EQ(scale.Ticks, c.expected.Ticks) << c.largest;
    }
}

} // namespace
} // namespace pw

#include "catalogue/bannerlist.h"

#include "core/catalogue/catalogue_fixture.h"

#include <gtest/gtest.h>

namespace pw {
namespace {

std::string Names(const BannerList& list)
{
    std::string names;
    for (const auto& row : list.Rows)
        names += row->SpaceName + " ";
    return names;
}

TEST(BannerColumns, CellTextsAndRateFormat)
{
    struct Case {
        int32_t pv, ct;
        const char* rate;
    } cases[] = {
        { 0, 5, " 0.00%" },
        { 200, 3, " 1.50%" },
        { 7, 1, "14.29%" },
        { 1, 1000, "100000.00%" },
        { -4, 1, "-25.00%" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatClickRate(ComputeClickRate(c.pv, c.ct)), c.rate);

    BannerList list;
    TAdBanner& b = test::AddRow(list, "ABC", 200, 3, "T");
    b.TotalRevenue = 500;
    const char* expected[] = { "ABC", "\x82\xBB\x82\xCC\x91\xBC", "T", "200", "3", " 1.50%", "500" };
    for (int column = 0; column < kBannerColumnCount; ++column)
        EXPECT_EQ(BannerColumnText(b, column), expected[column]) << column;
}

TEST(SortBanners, ByEveryColumn)
{
    auto a8 = test::MakeNetwork("zeta");
    auto other = test::MakeNetwork("Alpha");
    BannerList list;
    test::AddRow(list, "b", 10, 1, "Image", a8.get()).TotalRevenue = 3;
    test::AddRow(list, "C", 30, 9, "text", nullptr).TotalRevenue = 1;
    test::AddRow(list, "a", 20, 4, "_x", other.get()).TotalRevenue = 2;
    struct Case {
        int tag;
        bool descending;
        const char* order;
    } cases[] = {
        { 0, false, "a b C " },
        { 0, true, "C b a " },
        // その他 sorts among the names by its bytes (0x82 after ASCII).
        { 1, false, "a b C " },
        { 1, true, "C b a " },
        { 2, false, "b C a " }, // case folded to capitals: IMAGE < TEXT < _X
        { 3, false, "b a C " },
        { 4, true, "C a b " },
        { 5, false, "b a C " }, // 10%, 20%, 30%
        { 6, false, "C a b " },
    };
    for (const auto& c : cases) {
        SortBanners(list, c.tag, c.descending);
        EXPECT_EQ(Names(list), c.order) << c.tag << (c.descending ? " desc" : " asc");
    }
}

TEST(SortBanners, KeepsTheSelectedBannerSelected)
{
    BannerList list;
    test::AddRow(list, "b");
    test::AddRow(list, "c");
    test::AddRow(list, "a");
    list.Selected = 0;
    SortBanners(list, 0, false);
    EXPECT_EQ(list.Selected, 1);
    EXPECT_EQ(list.SelectedBanner()->SpaceName, "b");
    list.Selected = -1;
    SortBanners(list, 0, true);
    EXPECT_EQ(list.Selected, -1);
}

TEST(ClickBannerColumn, FirstClickAscendingThenFlips)
{
    BannerList list;
    test::AddRow(list, "x", 5, 2);
    test::AddRow(list, "y", 1, 9);
    test::AddRow(list, "z", 3, 0);
    BannerSortState state;
    ClickBannerColumn(list, state, 3);
    EXPECT_EQ(Names(list), "y z x ");
    EXPECT_EQ(state.Column, 3);
    EXPECT_FALSE(state.Descending);
    ClickBannerColumn(list, state, 3);
    EXPECT_EQ(Names(list), "x z y ");
    EXPECT_TRUE(state.Descending);
    ClickBannerColumn(list, state, 4);
    EXPECT_EQ(Names(list), "z x y ");
    EXPECT_EQ(state.Column, 4);
    EXPECT_FALSE(state.Descending);
    // Start-up with a stored descending mark on column 4: the click turns it ascending.
    state = { 4, true };
    ClickBannerColumn(list, state, 4);
    EXPECT_FALSE(state.Descending);
}

} // namespace
} // namespace pw

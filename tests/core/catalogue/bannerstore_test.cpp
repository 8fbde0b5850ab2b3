#include "catalogue/bannerstore.h"

#include "core/catalogue/catalogue_fixture.h"
#include "settings/settingsfile.h"
#include "support/tempdir.h"
#include "text/codec.h"

#include <gtest/gtest.h>

namespace pw {
namespace {

TEST(IniText, EscapeAndUnescape)
{
    struct Case {
        std::string plain, stored;
    } cases[] = {
        { "a$b\r\nxy", "a$$b$D$Axy" },
        { "", "" },
        { "$D", "$$D" },
        { "\n\r", "$A$D" },
        { "$$", "$$$$" },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EscapeIniText(c.plain), c.stored);
        EXPECT_EQ(UnescapeIniText(c.stored), c.plain);
    }
    // Other "$" sequences read as they stand.
    EXPECT_EQ(UnescapeIniText("$x$"), "$x$");
    EXPECT_EQ(UnescapeIniText("$d$a"), "$d$a");
}

TEST(ClickRate, IsSinglePrecisionAndZeroWithoutPageViews)
{
    EXPECT_EQ(ComputeClickRate(0, 5), 0.0f);
    EXPECT_EQ(ComputeClickRate(3, 1), static_cast<float>(100.0 / 3.0));
    EXPECT_EQ(ComputeClickRate(200, 3), 1.5f);
    EXPECT_EQ(ComputeClickRate(-4, 1), -25.0f);
}

TEST(LoadBanners, DefaultsGapsAndNetworkLinks)
{
    NetworkList networks;
    networks.push_back(test::MakeNetwork("A8"));
    networks.push_back(test::MakeNetwork("A8")); // the first of two equal names wins
    TIniList store;
    store.LoadFromText("[Setups]\r\nAdCount=3\r\n\r\n"
                       "[Banner2]\r\nSpaceName=ABC\r\nType=T\r\nPV=3\r\nCT=1\r\nTotalRevenue=9\r\n"
                       "BannerHTML=a$$b$D$Axy\r\nNetwork=A8\r\n\r\n"
                       "[Banner3]\r\nSpaceName=X\r\nPV=zz\r\nNetwork=\x82\xBB\x82\xCC\x91\xBC\r\n");
    BannerList list;
    list.Selected = 2;
    LoadBanners(list, store, networks);
    ASSERT_EQ(list.Rows.size(), 3u);
    const TAdBanner& first = *list.Rows[0];
    EXPECT_EQ(first.Number, 1);
    EXPECT_EQ(codec::DecodeSjis(first.SpaceName), "未命名");
    EXPECT_EQ(codec::DecodeSjis(first.Type), "未知タイプ");
    EXPECT_EQ(first.PV, 0);
    EXPECT_EQ(first.BannerHTML, "");
    EXPECT_EQ(first.Network, nullptr);
    const TAdBanner& second = *list.Rows[1];
    EXPECT_EQ(second.Number, 2);
    EXPECT_EQ(second.SpaceName, "ABC");
    EXPECT_EQ(second.BannerHTML, "a$b\r\nxy");
    EXPECT_EQ(second.ClickRate, static_cast<float>(100.0 / 3.0));
    EXPECT_EQ(second.TotalRevenue, 9);
    EXPECT_EQ(second.Network, networks[0].get());
    EXPECT_EQ(list.Rows[2]->Network, nullptr); // その他 names no network
    EXPECT_EQ(list.Selected, 2);

    store.WriteInteger("Setups", "AdCount", 1);
    LoadBanners(list, store, networks);
    EXPECT_EQ(list.Rows.size(), 1u);
    EXPECT_EQ(list.Selected, -1); // no longer a valid row
}

// A banner needs its section header line: a count far beyond the lines of
// the store is cut to the lines plus a margin.
TEST(LoadBanners, AHugeCountDoesNotExhaustMemory)
{
    NetworkList networks;
    for (const char* count : { "2147483647", "2000000000", "5000" }) {
        SCOPED_TRACE(count);
        TIniList store;
        store.LoadFromText(std::string("[Setups]\r\nAdCount=") + count + "\r\n\r\n[Banner1]\r\nSpaceName=a\r\n");
        BannerList list;
        LoadBanners(list, store, networks);
        EXPECT_LE(list.Rows.size(), store.LineCount() + 1000);
        EXPECT_GE(list.Rows.size(), 1000u);
        ASSERT_FALSE(list.Rows.empty());
        EXPECT_EQ(list.Rows[0]->SpaceName, "a");
        EXPECT_EQ(list.Rows.back()->Number, static_cast<int32_t>(list.Rows.size()));
    }
}

TEST(SaveBanners, WritesEveryBannerIntoItsSectionAndSavesTheFile)
{
    test::TempDir dir;
    NetworkList networks;
    networks.push_back(test::MakeNetwork("Old"));
    BannerList list;
    TAdBanner& b = test::AddRow(list, "ABC", 3, 1, "T", networks[0].get());
    b.BannerHTML = "a$b\r\nxy";
    b.TotalRevenue = -7;
    test::AddRow(list, "XYZ");
    std::swap(list.Rows[0], list.Rows[1]); // display order does not change the numbering
    TIniList store;
    ASSERT_TRUE(SaveBanners(list, store, dir.path()).ok);
    // The store puts each new key above the section's earlier ones.
    EXPECT_EQ(store.SaveToText(),
        "; NoTitle\r\n\r\n[Setups]\r\nAdCount=2\r\n\r\n"
        "[Banner2]\r\nNetwork=\x82\xBB\x82\xCC\x91\xBC\r\nBannerHTML=\r\nTotalRevenue=0\r\n"
        "CT=0\r\nPV=0\r\nType=\r\nSpaceName=XYZ\r\n\r\n"
        "[Banner1]\r\nNetwork=Old\r\nBannerHTML=a$$b$D$Axy\r\nTotalRevenue=-7\r\nCT=1\r\n"
        "PV=3\r\nType=T\r\nSpaceName=ABC\r\n");

    // The network is renamed: the next load loses it, the next save writes その他.
    TIniList reread;
    ASSERT_TRUE(LoadSettingsFile(reread, dir.path(), kBannerFile).ok);
    networks[0]->Name = "New";
    BannerList loaded;
    LoadBanners(loaded, reread, networks);
    EXPECT_EQ(loaded.Rows[0]->Network, nullptr);
    EXPECT_EQ(loaded.Rows[0]->BannerHTML, "a$b\r\nxy");
    WriteBanners(loaded, reread);
    EXPECT_EQ(reread.ReadString("Banner1", "Network", ""), "\x82\xBB\x82\xCC\x91\xBC");
}

TEST(FindBanner, ByNameAndByHtml)
{
    BannerList list;
    TAdBanner& abc = test::AddRow(list, "ABC");
    TAdBanner& abc2 = test::AddRow(list, "ABC");
    test::AddRow(list, "\x83\x5B\x83\x8D"); // ゼロ: ゼ ends in "["
    abc.BannerHTML = "<A HREF=x>\x83\x61</a>";
    struct Case {
        std::string text;
        const TAdBanner* except;
        int row;
    } cases[] = {
        { "ABC", nullptr, 0 },
        { "ABC[2]", nullptr, 0 },
        { "ABC", &abc, 1 },
        { "ABC", &abc2, 0 },
        { "abc", nullptr, -1 },
        { "[2]", nullptr, -1 },
        { "", nullptr, -1 },
        { "\x83\x5B\x83\x8D[3]", nullptr, 2 },
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindBannerByName(list, c.text, c.except), c.row) << c.text;

    EXPECT_EQ(FindBannerByHTML(list, "<a href=X>\x83\x61</A>"), 0);
    EXPECT_EQ(FindBannerByHTML(list, "<a href=X>\x83\x41</A>"), -1); // second bytes keep their case
    EXPECT_EQ(FindBannerByHTML(list, "<a href=x>"), -1);
}

TEST(CreateBanner, DetectsNetworkAndTypeAndNamesItUnnamed)
{
    NetworkList networks;
    networks.push_back(test::MakeNetwork("Shop", "shop.example"));
    const auto banner = CreateBanner("<img src=http://shop.example/b.gif width=468 height=60>", 8, networks);
    EXPECT_EQ(banner->Network, networks[0].get());
    EXPECT_EQ(codec::DecodeSjis(banner->Type), "イメージ広告468x60");
    EXPECT_EQ(codec::DecodeSjis(banner->SpaceName), "未命名広告8");
    EXPECT_EQ(banner->PV, 0);
    EXPECT_EQ(banner->ClickRate, 0.0f);
    EXPECT_EQ(codec::DecodeSjis(BannerNetworkName(*banner)), "Shop");
    banner->Network = nullptr;
    EXPECT_EQ(codec::DecodeSjis(BannerNetworkName(*banner)), "その他");
}

} // namespace
} // namespace pw

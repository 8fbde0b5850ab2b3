#include "shell/generalsettings.h"

#include <gtest/gtest.h>

namespace pw {
namespace {

TEST(GeneralSettings, DefaultsOnAnEmptyFile)
{
    TIniList store;
    store.LoadFromText("");
    GeneralSettings designed;
    designed.TreeWidth = 300;
    const GeneralSettings none = ReadGeneralSettings(store, designed, 0);
    EXPECT_EQ(none.NetworkVersion, 1);
    EXPECT_TRUE(none.ClipMonitor && none.Ad && none.PreviewAd);
    EXPECT_EQ(none.TreeWidth, 300);
    EXPECT_EQ(none.PreviewWidth, 127);
    EXPECT_EQ(none.DefautIndex, -1);
    EXPECT_EQ(none.LastAdIndex, 0);
    EXPECT_EQ(none.SortColumn, 1);
    EXPECT_EQ(ReadGeneralSettings(store, designed, 2).DefautIndex, 0);
}

TEST(GeneralSettings, ExitWritesRoundTripAndKeepTheUnwrittenKeys)
{
    TIniList store;
    store.LoadFromText("[Setups]\r\nv2=7\r\nSortColumn=-3\r\nDefautIndex=2\r\n");
    GeneralSettings s = ReadGeneralSettings(store, GeneralSettings {}, 3);
    EXPECT_EQ(s.NetworkVersion, 7);
    EXPECT_EQ(s.DefautIndex, 2);
    s.NetworkVersion = 99;
    s.PreviewAd = false;
    s.TreeWidth = 250;
    s.LastAdIndex = 4;
    s.SortColumn = 5;
    WriteGeneralSettings(store, s, /*sortMarkShown=*/false);

    const GeneralSettings back = ReadGeneralSettings(store, GeneralSettings {}, 3);
    EXPECT_EQ(back.NetworkVersion, 7) << "v2 is not written at exit";
    EXPECT_EQ(back.SortColumn, -3) << "no sort mark: SortColumn keeps its value";
    EXPECT_FALSE(back.PreviewAd);
    EXPECT_EQ(back.TreeWidth, 250);
    EXPECT_EQ(back.LastAdIndex, 4);
    EXPECT_EQ(store.ReadString("Setups", "DefautIndex", ""), "2");

    WriteGeneralSettings(store, s, /*sortMarkShown=*/true);
    EXPECT_EQ(ReadGeneralSettings(store, GeneralSettings {}, 3).SortColumn, 5);

    // The ad tree's width goes into the file once the user changed it.
    EXPECT_FALSE(store.SectionExists("AdTree"));
    s.AdTreeWidth = 260;
    WriteGeneralSettings(store, s, false);
    EXPECT_EQ(ReadGeneralSettings(store, GeneralSettings {}, 3).AdTreeWidth, 260);
    s.AdTreeWidth = GeneralSettings().AdTreeWidth;
    WriteGeneralSettings(store, s, false);
    EXPECT_EQ(ReadGeneralSettings(store, GeneralSettings {}, 3).AdTreeWidth, GeneralSettings().AdTreeWidth);
}

TEST(GeneralSettings, SortColumnValues)
{
    EXPECT_EQ(SortColumnValue(0, true), 1);
    EXPECT_EQ(SortColumnValue(2, false), -3);
    struct Case {
        int value, column;
        bool mark;
    };
    // Start-up sets the opposite mark; the column click then flips it.
    const Case cases[] = { { 1, 0, false }, { 3, 2, false }, { -3, 2, true }, { 7, 6, false }, { 0, -1, false },
        { 8, -1, false }, { -8, -1, false } };
    for (const auto& c : cases) {
        const StoredSort sort = StoredSortFromValue(c.value, 7);
        EXPECT_EQ(sort.column, c.column) << c.value;
        if (sort.column >= 0) {
            EXPECT_EQ(sort.markDescending, c.mark) << c.value;
        }
    }
}

TEST(GeneralSettings, ScratchFileNames)
{
    EXPECT_EQ(MakeScratchFileName("/tmp/", "html", 1, 0), "/tmp/pwh1.html");
    EXPECT_EQ(MakeScratchFileName("/tmp", "html", 3, 500 * 0xABC), "/tmp/pwhABF.html");
    EXPECT_EQ(MakeScratchFileName("/t/", "txt", 2, 0xFFFFFFFFu), "/t/pwh831270.txt");
}

} // namespace
} // namespace pw

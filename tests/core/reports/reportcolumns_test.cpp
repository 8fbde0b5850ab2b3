#include "reports/reportcolumns.h"

#include "reports_fixture.h"

#include <gtest/gtest.h>

namespace pw {
namespace {

using test::Sjis;

ReportTable Table(std::string_view utf8)
{
    ReportTable table;
    EXPECT_TRUE(ReadReportTable(utf8, table).ok) << utf8;
    return table;
}

// A mapping in UTF-8, so that a failing case prints readably.
struct Columns {
    std::string key, pv, clicks, revenue, month;
    ReportMatch match = ReportMatch::Name;
    bool operator==(const Columns&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Columns& c)
{
    return os << "key=" << c.key << " pv=" << c.pv << " clicks=" << c.clicks << " revenue=" << c.revenue
              << " month=" << c.month << " match=" << ReportMatchKey(c.match);
}

Columns Utf8(const ReportMapping& m)
{
    return { codec::DecodeSjis(m.Key), codec::DecodeSjis(m.PV), codec::DecodeSjis(m.Clicks),
        codec::DecodeSjis(m.Revenue), codec::DecodeSjis(m.Month), m.Match };
}

// The networks' own header words choose the columns, in whatever order the
// report has them, and the cells that only look like them (a rate, a unit
// price, revenue not yet confirmed) are passed over.
TEST(ReportColumns, ChoosesTheColumnsFromTheWordsOfTheHeader)
{
    struct Case {
        const char* header;
        Columns expected;
    };
    const Case cases[] = {
        { "日付,プログラム名,インプレッション,クリック,確定報酬",
            { "プログラム名", "インプレッション", "クリック", "確定報酬", "日付" } },
        { "報酬額,プログラム名,クリック数,表示回数", { "プログラム名", "表示回数", "クリック数", "報酬額", "" } },
        { "プログラムID,プログラム名,表示回数,クリック数,クリック率,未確定報酬,確定報酬額",
            { "プログラム名", "表示回数", "クリック数", "確定報酬額", "" } },
        { "広告主名,広告ID,表示回数,クリック数,発生報酬額（確定）,報酬単価",
            { "広告主名", "表示回数", "クリック数", "発生報酬額（確定）", "" } },
        { "未確定報酬,報酬合計,広告名,表示回数,クリック単価,クリック合計",
            { "広告名", "表示回数", "クリック合計", "報酬合計", "" } },
        { "年月,広告名,表示数,クリック数,成果報酬", { "広告名", "表示数", "クリック数", "成果報酬", "年月" } },
        { "期間,商品名,ＰＶ,クリック数,報酬", { "商品名", "ＰＶ", "クリック数", "報酬", "期間" } },
        { "Date,Program Name,Impressions,Clicks,CTR,Commission",
            { "Program Name", "Impressions", "Clicks", "Commission", "Date" } },
        { "month,ad,PV,clicks,earnings", { "ad", "PV", "clicks", "earnings", "month" } },
        // A key named as a code matches by code.
        { "code,imp,click,revenue", { "code", "imp", "click", "revenue", "", ReportMatch::Code } },
        // Two columns of one name are told by number.
        { "広告名,表示回数,表示回数,クリック,報酬", { "広告名", "2", "クリック", "報酬", "" } },
        // Words no network uses leave their roles to the user.
        { "name,pv,ct,yen", { "", "pv", "", "", "" } },
        { "月額,今月の報酬,クリック", { "", "", "クリック", "今月の報酬", "" } },
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utf8(ChooseReportMapping(Table(std::string(c.header) + "\n"))), c.expected) << c.header;
}

// The network's remembered mapping comes first: its columns where the report
// still has them, its match mode, its choice of no month column and its keys
// given by hand; the header words fill in what it no longer finds.
TEST(ReportColumns, TheRememberedMappingComesFirst)
{
    const ReportTable table = Table("日付,広告主ID,広告主名,インプレッション,クリック数,報酬額\n");
    ReportMapping remembered { Sjis("広告主ID"), Sjis("表示回数"), "5", "", "", ReportMatch::Code };
    remembered.Assigned = { { Sjis("旧プログラム"), "00000000000000b1" } };
    const ReportMapping chosen = ChooseReportMapping(table, &remembered);
    EXPECT_EQ(
        Utf8(chosen), (Columns { "広告主ID", "インプレッション", "クリック数", "報酬額", "", ReportMatch::Code }));
    EXPECT_EQ(chosen.Assigned, remembered.Assigned);

    // A remembered month column is kept; one the report lost is looked for anew.
    remembered.Month = Sjis("集計日");
    EXPECT_EQ(Utf8(ChooseReportMapping(table, &remembered)).month, "日付");
}

TEST(ReportColumns, HeaderCellsAreReadForTheirRole)
{
    struct Case {
        const char* cell;
        std::optional<ReportField> field;
    };
    const Case cases[] = {
        { "プログラム名", ReportField::Key },
        { " 広告名 ", ReportField::Key },
        { "Ad Name", ReportField::Key },
        { "page views", ReportField::PV },
        { "ＩＭＰ", ReportField::PV },
        { "クリック数（合計）", ReportField::Clicks },
        { "クリック単価", std::nullopt },
        { "CVR(%)", std::nullopt },
        { "キャンセル報酬", std::nullopt },
        { "対象月", ReportField::Month },
        { "月", ReportField::Month },
        { "download", std::nullopt }, // "ad" is a word, not a part of one
        { "", std::nullopt },
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReportFieldOfHeader(c.cell), c.field) << c.cell;
}

} // namespace
} // namespace pw

#include "reports/reportimport.h"

#include "reports_fixture.h"
#include "text/pageencoding.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pw {
namespace {

using test::ReportCatalogue;
using test::Sjis;

// What a matched sum says, in a form that prints well when a test fails.
struct Sum {
    std::string name; // UTF-8
    std::string period;
    int64_t pv, clicks, revenue;
    int rows;
    bool operator==(const Sum&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Sum& s)
{
    return os << s.name << " " << s.period << " " << s.pv << "/" << s.clicks << "/" << s.revenue << " x" << s.rows;
}

std::vector<Sum> Sums(const ReportImportResult& result)
{
    std::vector<Sum> sums;
    for (const auto& s : result.Matched)
        sums.push_back({ codec::DecodeSjis(s.Banner->SpaceName), s.Period, s.PV, s.Clicks, s.Revenue, s.Rows });
    return sums;
}

std::vector<size_t> LinesOf(const std::vector<ReportSkippedRow>& rows)
{
    std::vector<size_t> lines;
    for (const auto& row : rows)
        lines.push_back(row.Line);
    return lines;
}

ReportMapping Mapping(std::string key, std::string pv, std::string clicks, std::string revenue,
    ReportMatch match = ReportMatch::Name, std::string month = {})
{
    return { Sjis(key), Sjis(pv), Sjis(clicks), Sjis(revenue), Sjis(month), match };
}

TEST(ReportNumbers, ReadsTheFormsReportsWrite)
{
    struct Case {
        const char* cell;
        std::optional<int64_t> value;
    };
    const Case cases[] = {
        { "1234", 1234 },
        { "1,234", 1234 },
        { "12,345,678", 12345678 },
        { "¥1,234", 1234 },
        { "￥1,234", 1234 },
        { "\\1,234", 1234 }, // the yen sign as Shift_JIS text shows it
        { "1,234円", 1234 },
        { " 1,234 ", 1234 },
        // A blank, ASCII or full-width, between the yen sign and the number.
        { "¥ 1,234", 1234 },
        { "1,234 円", 1234 },
        { "￥\xE3\x80\x80"
          "500",
            500 }, // an ideographic space
        { "\\ 80", 80 },
        { "\xE3\x80\x80"
          "56\xE3\x80\x80",
            56 }, // ideographic spaces
        { "-300", -300 },
        { "▲1,500", -1500 },
        { "¥-20", -20 },
        { "1,234.00", 1234 },
        { "0", 0 },
        { "", 0 },
        { "  ", 0 },
        { "12.5", std::nullopt },
        { "1,23", std::nullopt },
        { "12,34,567", std::nullopt },
        { ",123", std::nullopt },
        { "123,", std::nullopt },
        { "1.", std::nullopt },
        { "abc", std::nullopt },
        { "12円34", std::nullopt },
        { "-", std::nullopt },
        { "99999999999999999999", std::nullopt },
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseReportNumber(c.cell), c.value) << c.cell;
}

// A cell is refused for what is wrong with it, so that the message can say so.
TEST(ReportNumbers, RefusesDecimalCommasAndFiguresBeyondTheBound)
{
    struct Case {
        const char* cell;
        ReportNumberError error;
        int64_t value = 0;
    };
    const Case cases[] = {
        // At the first comma the group before it has one to three digits.
        { "1234,567", ReportNumberError::Grouping },
        { "12345,678,901", ReportNumberError::Grouping },
        { "1000,000", ReportNumberError::Grouping },
        { "¥1234,567", ReportNumberError::Grouping },
        { "1,23", ReportNumberError::Grouping },
        { "123,456", ReportNumberError::None, 123456 },
        { "1,234,567", ReportNumberError::None, 1234567 },
        // No report holds 10^15 yen or clicks.
        { "1,000,000,000,000,000", ReportNumberError::None, 1'000'000'000'000'000 },
        { "-1000000000000000", ReportNumberError::None, -1'000'000'000'000'000 },
        { "1000000000000001", ReportNumberError::TooLarge },
        { "▲1,000,000,000,000,001", ReportNumberError::TooLarge },
        { "9000000000000000000", ReportNumberError::TooLarge },
        { "99999999999999999999999", ReportNumberError::TooLarge },
        { "9999999999999999999x", ReportNumberError::NotANumber },
    };
    for (const auto& c : cases) {
        int64_t value = -1;
        EXPECT_EQ(ReadReportNumber(c.cell, value), c.error) << c.cell;
        if (c.error == ReportNumberError::None) {
            EXPECT_EQ(value, c.value) << c.cell;
        }
        EXPECT_EQ(ParseReportNumber(c.cell).has_value(), c.error == ReportNumberError::None) << c.cell;
    }
}

TEST(ReportNumbers, ReadsMonthsFromDatesAndMonths)
{
    struct Case {
        const char* cell;
        std::optional<std::string> month;
    };
    const Case cases[] = {
        { "2026-11", "2026-11" },
        { "2026/11/05", "2026-11" },
        { "2026/1/5", "2026-01" },
        { "2026年11月", "2026-11" },
        { "2026年3月1日", "2026-03" },
        { "2026.11", "2026-11" },
        { "202611", "2026-11" },
        { "20261105", "2026-11" },
        { "2026-11-05 12:00:00", "2026-11" },
        { "2026-13", std::nullopt },
        { "2026-00", std::nullopt },
        { "11/05/2026", std::nullopt },
        { "合計", std::nullopt },
        { "", std::nullopt },
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseReportMonth(c.cell), c.month) << c.cell;
    EXPECT_TRUE(IsReportPeriod("2026-01"));
    EXPECT_FALSE(IsReportPeriod("2026-1"));
    EXPECT_FALSE(IsReportPeriod("2026/01"));
}

// An A8-style monthly report in Shift_JIS with CR LF: one row per program and
// ad, the same program on two rows, one program the catalogue does not have,
// yen signs (Shift_JIS has no "¥": its 5C byte shows as one), and the total
// row at the end.
TEST(ReportImport, ShiftJisReportMatchedByNameAddsRowsAndKeepsOutTheTotal)
{
    const std::string report
        = Sjis("\"プログラム名\",\"広告ID\",\"表示回数\",\"クリック数\",\"発生報酬額（確定）\"\r\n"
               "\"楽天トラベル\",\"001\",\"12,345\",\"234\",\"\\1,234\"\r\n"
               "\"じゃらん\",\"002\",\"800\",\"12\",\"0\"\r\n"
               "\"楽天トラベル\",\"003\",\"1,000\",\"6\",\"￥766\"\r\n"
               "\"未登録の広告\",\"004\",\"50\",\"1\",\"100円\"\r\n"
               "\"合計\",\"\",\"14,195\",\"253\",\"2,100円\"\r\n");
    ReportTable table;
    ASSERT_TRUE(ReadReportTable(report, table).ok);
    EXPECT_EQ(table.Encoding, PageEncoding::ShiftJis);
    ReportCatalogue catalogue;
    ReportImportResult result;
    const Status imported
        = ReportImport(table, Mapping("プログラム名", "表示回数", "クリック数", "発生報酬額（確定）"), "2026-11",
            catalogue.banners, result);
    ASSERT_TRUE(imported.ok) << codec::DecodeSjis(imported.error);
    EXPECT_EQ(Sums(result),
        (std::vector<Sum> {
            { "楽天トラベル", "2026-11", 13345, 240, 2000, 2 }, { "じゃらん", "2026-11", 800, 12, 0, 1 } }));
    EXPECT_EQ(LinesOf(result.Unmatched), std::vector<size_t> { 5 });
    EXPECT_EQ(codec::DecodeSjis(result.Unmatched[0].Key), "未登録の広告");
    EXPECT_EQ(LinesOf(result.Totals), std::vector<size_t> { 6 });
    EXPECT_TRUE(result.Ambiguous.empty());
    EXPECT_EQ(result.Periods, std::vector<std::string> { "2026-11" });
    EXPECT_EQ(result.MatchedRows, 3u);
}

// A ValueCommerce-style daily report in UTF-8 with a byte order mark and LF:
// the key is the program ID found in the banner's HTML, names hold commas and
// line breaks in quotes, the date column splits the rows into two months, and
// the total row's key cell is empty.
TEST(ReportImport, Utf8ReportWithByteOrderMarkMatchedByCodeAcrossMonths)
{
    const std::string report = std::string(kUtf8ByteOrderMark)
        + "日付,広告主ID,広告主名,インプレッション,クリック,成果報酬\n"
          "2026/10/31,887654321,\"Yahoo!ショッピング, 秋\",\"1,000\",10,\"¥500\"\n"
          "2026/11/01,887654321,\"Yahoo!ショッピング\n(冬のセール)\",\"2,000\",20,\"1,000円\"\n"
          "2026/11/02,887654321,Yahoo!ショッピング,\"3,000\",30,￥1\n"
          "2026/11/02,8876543210,ふるさと納税,100,1,\"12,000\"\n"
          "2026/11/02,s00000012345001,楽天トラベル,5,0,0\n"
          "2026/11/02,99999,退会済み,5,0,0\n"
          "合計,,,\"6,110\",61,\"13,501\"\n";
    ReportTable table;
    ASSERT_TRUE(ReadReportTable(report, table).ok);
    EXPECT_EQ(table.Encoding, PageEncoding::Utf8);
    EXPECT_EQ(table.Header.front(), "日付"); // the byte order mark is not part of the first name
    ReportCatalogue catalogue;
    ReportImportResult result;
    const Status imported = ReportImport(table,
        Mapping("広告主ID", "インプレッション", "クリック", "成果報酬", ReportMatch::Code, "日付"), "",
        catalogue.banners, result);
    ASSERT_TRUE(imported.ok) << imported.error;
    // pid=887654321 must not be found inside pid=8876543210, nor the other way round.
    EXPECT_EQ(Sums(result),
        (std::vector<Sum> { { "楽天トラベル", "2026-11", 5, 0, 0, 1 },
            { "Yahoo!ショッピング", "2026-10", 1000, 10, 500, 1 },
            { "Yahoo!ショッピング", "2026-11", 5000, 50, 1001, 2 },
            { "ふるさと納税", "2026-11", 100, 1, 12000, 1 } }));
    EXPECT_EQ(LinesOf(result.Unmatched), std::vector<size_t> { 8 });
    EXPECT_EQ(LinesOf(result.Totals), std::vector<size_t> { 9 });
    EXPECT_EQ(result.Periods, (std::vector<std::string> { "2026-10", "2026-11" }));
}

TEST(ReportImport, EucJpReportIsDetectedAndColumnsMayBeNumbers)
{
    const std::string report = codec::Encode(PageEncoding::EucJp,
        "広告名,表示,クリック,報酬\n"
        "じゃらん,\"1,200\",7,\"￥3,300\"\n"
        "ふるさと納税,10,1,100\n")
                                   .bytes;
    ReportTable table;
    ASSERT_TRUE(ReadReportTable(report, table).ok);
    EXPECT_EQ(table.Encoding, PageEncoding::EucJp);
    ReportCatalogue catalogue;
    ReportImportResult result;
    ASSERT_TRUE(ReportImport(table, Mapping("1", "2", "3", "4"), "2026-09", catalogue.banners, result).ok);
    EXPECT_EQ(Sums(result),
        (std::vector<Sum> {
            { "じゃらん", "2026-09", 1200, 7, 3300, 1 }, { "ふるさと納税", "2026-09", 10, 1, 100, 1 } }));
}

TEST(ReportImport, AKeyInSeveralBannersIsAmbiguousAndSkipped)
{
    ReportCatalogue catalogue;
    const std::string report = "id,pv,ct,yen\n3512345,100,1,10\ns00000012345002,5,0,0\n";
    ReportTable table;
    ASSERT_TRUE(ReadReportTable(report, table).ok);
    ReportImportResult result;
    ASSERT_TRUE(ReportImport(
        table, Mapping("id", "pv", "ct", "yen", ReportMatch::Code), "2026-11", catalogue.banners, result)
                    .ok);
    // The site ID stands in both ValueCommerce banners.
    ASSERT_EQ(LinesOf(result.Ambiguous), std::vector<size_t> { 2 });
    EXPECT_EQ(
        result.Ambiguous[0].Candidates, (std::vector<const TAdBanner*> { &catalogue.Row(2), &catalogue.Row(3) }));
    EXPECT_EQ(codec::DecodeSjis(DescribeSkippedRow(result.Ambiguous[0])),
        "line 2: 3512345 [Yahoo!ショッピング, ふるさと納税]");
    EXPECT_EQ(Sums(result), (std::vector<Sum> { { "じゃらん", "2026-11", 5, 0, 0, 1 } }));
}

// Daily reports repeat a code on many rows: the matching of its first row
// is remembered, and an ambiguous code stays ambiguous on every row.
TEST(ReportImport, ARepeatedCodeIsMatchedOrAmbiguousOnEveryRowAlike)
{
    ReportCatalogue catalogue;
    ReportTable table;
    ASSERT_TRUE(ReadReportTable("id,pv,ct,yen\n"
                                "3512345,100,1,10\n"
                                "s00000012345002,5,0,0\n"
                                "3512345,100,1,10\n"
                                "s00000012345002,7,1,2\n"
                                "3512345,100,1,10\n",
        table)
                    .ok);
    ReportImportResult result;
    ASSERT_TRUE(ReportImport(
        table, Mapping("id", "pv", "ct", "yen", ReportMatch::Code), "2026-11", catalogue.banners, result)
                    .ok);
    EXPECT_EQ(LinesOf(result.Ambiguous), (std::vector<size_t> { 2, 4, 6 }));
    for (const auto& row : result.Ambiguous)
        EXPECT_EQ(row.Candidates, (std::vector<const TAdBanner*> { &catalogue.Row(2), &catalogue.Row(3) }));
    EXPECT_EQ(Sums(result), (std::vector<Sum> { { "じゃらん", "2026-11", 12, 1, 2, 2 } }));
    EXPECT_EQ(result.MatchedRows, 2u);
}

// Codes are found as whole Shift_JIS characters: the bytes of "モ" (83 82)
// stand inside "ャい" (83 83 82 A2) without the character being there.
TEST(ReportImport, CodesAreFoundAsWholeCharacters)
{
    ReportCatalogue catalogue;
    catalogue.Add("キャンペーン", nullptr, "<b>シャい</b>");
    catalogue.Add("モール", nullptr, "<b>モール</b>");
    ReportTable table;
    ASSERT_TRUE(ReadReportTable("code,pv,ct,yen\nモ,1,1,1\nャい,2,2,2\n", table).ok);
    ReportImportResult result;
    ASSERT_TRUE(ReportImport(
        table, Mapping("code", "pv", "ct", "yen", ReportMatch::Code), "2026-11", catalogue.banners, result)
                    .ok);
    EXPECT_EQ(Sums(result),
        (std::vector<Sum> { { "キャンペーン", "2026-11", 2, 2, 2, 1 }, { "モール", "2026-11", 1, 1, 1, 1 } }));
    EXPECT_TRUE(result.Ambiguous.empty());
}

// Every skipped row is counted; the first of each kind are listed.
TEST(ReportImport, SkippedRowsAreListedUpToABoundAndCountedInFull)
{
    ReportCatalogue catalogue;
    std::string report = "id,pv,ct,yen\n";
    for (int i = 0; i < 1500; ++i)
        report += "unknown" + std::to_string(i) + ",1,1,1\n3512345,1,1,1\n合計,1,1,1\n";
    report += "s00000012345002,5,0,0\n";
    ReportTable table;
    ASSERT_TRUE(ReadReportTable(report, table).ok);
    ReportImportResult result;
    ASSERT_TRUE(ReportImport(
        table, Mapping("id", "pv", "ct", "yen", ReportMatch::Code), "2026-11", catalogue.banners, result)
                    .ok);
    EXPECT_EQ(result.UnmatchedRows, 1500u);
    EXPECT_EQ(result.AmbiguousRows, 1500u);
    EXPECT_EQ(result.TotalRows, 1500u);
    for (const auto* listed : { &result.Unmatched, &result.Ambiguous, &result.Totals }) {
        ASSERT_EQ(listed->size(), kReportListedRows);
        EXPECT_EQ(listed->front().Line, listed == &result.Unmatched ? 2u : listed == &result.Ambiguous ? 3u : 4u);
    }
    EXPECT_EQ(result.Unmatched.back().Key, "unknown999");
    EXPECT_EQ(Sums(result), (std::vector<Sum> { { "じゃらん", "2026-11", 5, 0, 0, 1 } }));
}

TEST(ReportImport, RowsWithoutKeyAreUnmatchedAndBlankRowsIgnored)
{
    ReportCatalogue catalogue;
    ReportTable table;
    ASSERT_TRUE(ReadReportTable("name,pv,ct,yen\n,1,1,1\n,,,\nじゃらん,1,1,1\n", table).ok);
    ReportImportResult result;
    ASSERT_TRUE(ReportImport(
        table, Mapping("name", "pv", "ct", "yen", ReportMatch::Code), "2026-11", catalogue.banners, result)
                    .ok);
    EXPECT_EQ(LinesOf(result.Unmatched), (std::vector<size_t> { 2, 4 }));
    EXPECT_TRUE(result.Matched.empty());
}

TEST(ReportImport, FailsNamingTheColumnOrLine)
{
    ReportCatalogue catalogue;
    ReportTable table;
    ASSERT_TRUE(
        ReadReportTable("name,pv,ct,yen,day\nじゃらん,1,1,abc,2026-11-01\nじゃらん,1,1,1,昨日\n", table).ok);
    struct Case {
        ReportMapping mapping;
        const char* period;
        const char* error;
    };
    const Case cases[] = {
        { Mapping("名前", "pv", "ct", "yen"), "2026-11", "no column \"名前\" for the key" },
        { Mapping("name", "pv", "ct", "6"), "2026-11", "no column \"6\" for the revenue" },
        { Mapping("name", "pv", "ct", "yen"), "2026-13", "\"2026-13\" is not a month" },
        { Mapping("name", "pv", "ct", "yen"), "2026-11", "line 2: the revenue \"abc\" in column \"yen\"" },
        { Mapping("name", "pv", "ct", "pv", ReportMatch::Name, "day"), "", "line 3: \"昨日\" in column \"day\"" },
    };
    for (const auto& c : cases) {
        ReportImportResult result;
        const Status imported = ReportImport(table, c.mapping, c.period, catalogue.banners, result);
        ASSERT_FALSE(imported.ok) << c.error;
        const std::string error = codec::DecodeSjis(imported.error);
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

std::string ImportError(const std::string& report)
{
    ReportCatalogue catalogue;
    ReportTable table;
    const Status read = ReadReportTable(report, table);
    if (!read)
        return read.error;
    ReportImportResult result;
    const Status imported = ReportImport(table, Mapping("1", "2", "3", "4"), "2026-11", catalogue.banners, result);
    return imported ? "" : codec::DecodeSjis(imported.error);
}

// A figure beyond the bound or with a decimal comma fails the import with a
// message that names the line, the column and what is wrong.
TEST(ReportImport, RefusesFiguresBeyondTheBoundAndDecimalCommasByLineAndColumn)
{
    struct Case {
        std::string report;
        const char* error;
    } cases[] = {
        { "name,pv,ct,yen\nじゃらん,1,1,9000000000000000000\n",
            "line 2: the revenue \"9000000000000000000\" in column \"yen\" is beyond 1,000,000,000,000,000" },
        { "name,pv,ct,yen\nじゃらん,1,1,1\nじゃらん,\"2,000,000,000,000,000\",1,1\n",
            "line 3: the page views \"2,000,000,000,000,000\" in column \"pv\" is beyond" },
        { "name,pv,ct,yen\nじゃらん,1,1,\"1234,567\"\n",
            "line 2: the revenue \"1234,567\" in column \"yen\" does not have its commas between groups of three "
            "digits" },
        { "name,pv,ct,yen\nじゃらん,1,\"12345,678,901\",1\n",
            "line 2: the clicks \"12345,678,901\" in column \"ct\"" },
    };
    for (const auto& c : cases) {
        const std::string error = ImportError(c.report);
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

// Figures within the bound may still add up beyond what a figure holds; the
// import fails at the row that would overflow instead of storing a wrapped,
// negative sum.
TEST(ReportImport, ASumBeyondWhatAFigureHoldsFailsTheImport)
{
    std::string report = "name,pv,ct,yen\n";
    for (int row = 0; row < 9224; ++row) // 9224 * 10^15 > 2^63
        report += "じゃらん,1,1,1000000000000000\n";
    const std::string error = ImportError(report);
    EXPECT_NE(error.find("line 9225: the revenue of [じゃらん] for 2026-11 add up to more than a figure can hold"),
        std::string::npos)
        << error;
}

// A message quotes a few dozen characters of a cell, cut on a character and
// marked, however long the cell.
TEST(ReportImport, MessagesQuoteTheStartOfALongCellOnly)
{
    const std::string hugeCell(2'000'000, '7');
    const std::string error = ImportError("name,pv,ct,yen\nじゃらん,1,1,x" + hugeCell + "\n");
    EXPECT_LT(error.size(), 200u);
    EXPECT_NE(error.find("\"x" + hugeCell.substr(0, 39) + "…\" in column \"yen\" is not a whole number"),
        std::string::npos)
        << error;

    std::string kana;
    for (int i = 0; i < 100; ++i)
        kana += "あ";
    const std::string header = "name,pv,ct," + kana + "\n";
    const std::string cut = ImportError(header + "じゃらん,1,1," + kana + "\n");
    std::string forty;
    for (int i = 0; i < 40; ++i)
        forty += "あ";
    EXPECT_EQ(cut, "line 2: the revenue \"" + forty + "…\" in column \"" + forty + "…\" is not a whole number");
    EXPECT_EQ(ImportError("name,pv,ct,yen\nじゃらん,1,1," + kana.substr(0, 40 * 3) + "x\n"),
        "line 2: the revenue \"" + forty + "…\" in column \"yen\" is not a whole number");
    EXPECT_EQ(ImportError("name,pv,ct,yen\nじゃらん,1,1," + forty + "\n"),
        "line 2: the revenue \"" + forty + "\" in column \"yen\" is not a whole number");

    // An unmatched key is listed cut alike.
    const ReportSkippedRow row { 7, Sjis("キー" + hugeCell), {} };
    EXPECT_EQ(codec::DecodeSjis(DescribeSkippedRow(row)), "line 7: キー" + hugeCell.substr(0, 38) + "…");
}

TEST(ReportTable, ReportsAboveTheSizeBoundOrWithTooManyColumnsAreRefused)
{
    const std::string header = "name,pv,ct,yen\n";
    const std::string longest = header + std::string(kReportMaxBytes - header.size(), 'a');
    ReportTable table;
    ASSERT_TRUE(ReadReportTable(longest, table).ok);
    EXPECT_EQ(table.RowCount, 1u);
    const Status tooLong = ReadReportTable(longest + "\n", table);
    EXPECT_FALSE(tooLong.ok);
    EXPECT_NE(tooLong.error.find("more than the 64 MiB a report may have"), std::string::npos) << tooLong.error;

    std::string columns(kReportMaxColumns - 1, ',');
    ASSERT_TRUE(ReadReportTable(columns + "\n1\n", table).ok);
    EXPECT_EQ(table.Header.size(), kReportMaxColumns);
    const Status tooWide = ReadReportTable(columns + ",\n1\n", table);
    EXPECT_FALSE(tooWide.ok);
    EXPECT_NE(tooWide.error.find("more than 1000 columns"), std::string::npos) << tooWide.error;
}

// Rows are read one at a time and skipped rows are counted past the first
// ones listed: a report of 30 MB, of empty cells or of unknown keys, costs
// about its own size twice (the file and its decoded text), not a string per
// cell or a record per row.
TEST(ReportTable, A30MegabyteReportCostsLittleMoreThanItsText)
{
    struct Case {
        const char* what;
        std::string line;
        bool unmatched; // every row after the header
    } cases[] = {
        { "empty cells", std::string(999, ',') + "\n", false },
        { "unknown keys", "zzzzzzzz,1\n", true },
    };
    for (const auto& c : cases) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::string report;
            report.reserve(30'000'000 + c.line.size());
            while (report.size() < 30'000'000)
                report += c.line;
            ReportCatalogue catalogue;
            ReportTable table;
            ReportImportResult result;
            const size_t unmatched = c.unmatched ? report.size() / c.line.size() - 1 : 0;
            const bool ok = ReadReportTable(report, table).ok
                && ReportImport(table, Mapping("1", "2", "2", "2"), "2026-11", catalogue.banners, result).ok
                && result.Matched.empty() && result.UnmatchedRows == unmatched
                && result.Unmatched.size() == std::min(unmatched, kReportListedRows);
            ::_exit(ok ? 0 : 1);
        }
        int status = 0;
        struct rusage usage { };
        ASSERT_EQ(::wait4(child, &status, 0, &usage), child);
        ASSERT_TRUE(WIFEXITED(status)) << c.what;
        EXPECT_EQ(WEXITSTATUS(status), 0) << c.what;
        EXPECT_LT(usage.ru_maxrss, 200 * 1024) << c.what << ": peak resident kilobytes";
    }
}

TEST(ReportImport, ReportsWithoutRowsOrWithBrokenQuotesAreRefused)
{
    ReportTable table;
    EXPECT_FALSE(ReadReportTable("", table).ok);
    EXPECT_FALSE(ReadReportTable("a,b\n\"1,2\n", table).ok);
    ASSERT_TRUE(ReadReportTable("a,b\r\n", table).ok);
    EXPECT_EQ(table.RowCount, 0u);
}

// A key the user gave a banner by hand matches it from then on, even where
// its name or code would match none or several; a key given a banner the
// catalogue no longer has is unmatched again. The keys nothing matched by
// itself are listed once each, with their rows and sums, for the user to
// give a banner.
TEST(ReportImport, KeysGivenABannerByHandMatchItAndUnmatchedKeysAreGrouped)
{
    ReportCatalogue catalogue;
    catalogue.Row(1).StatsId = "00000000000000b1";
    catalogue.Row(3).StatsId = "00000000000000b3";
    const std::string report = Sjis("id,pv,ct,yen\n"
                                    "旧プログラム,100,2,300\n"
                                    "s00000012345002,5,0,0\n"
                                    "不明,1,1,1\n"
                                    "旧プログラム,50,1,\"1,000\"\n"
                                    "3512345,7,0,7\n"
                                    "不明,2,2,2\n"
                                    "消えた広告,9,9,9\n"
                                    ",4,4,4\n");
    ReportTable table;
    ASSERT_TRUE(ReadReportTable(report, table).ok);
    ReportMapping mapping = Mapping("id", "pv", "ct", "yen", ReportMatch::Code);
    mapping.Assigned = { { Sjis("旧プログラム"), "00000000000000b1" }, { "3512345", "00000000000000b3" },
        { Sjis("消えた広告"), "00000000000000ff" } };
    ReportImportResult result;
    ASSERT_TRUE(ReportImport(table, mapping, "2026-11", catalogue.banners, result).ok);
    EXPECT_EQ(Sums(result),
        (std::vector<Sum> {
            { "じゃらん", "2026-11", 155, 3, 1300, 3 }, { "ふるさと納税", "2026-11", 7, 0, 7, 1 } }));
    EXPECT_TRUE(result.Ambiguous.empty()); // 3512345 stands in two banners, but was given one
    EXPECT_EQ(LinesOf(result.Unmatched), (std::vector<size_t> { 4, 7, 8, 9 }));

    struct Group {
        std::string key;
        size_t rows;
        int64_t pv, clicks, revenue;
        const TAdBanner* assigned;
        bool operator==(const Group&) const = default;
    };
    std::vector<Group> groups;
    for (const auto& g : result.UnmatchedKeys)
        groups.push_back({ codec::DecodeSjis(g.Key), g.Rows, g.PV, g.Clicks, g.Revenue, g.Assigned });
    EXPECT_EQ(groups,
        (std::vector<Group> { { "旧プログラム", 2, 150, 3, 1300, &catalogue.Row(1) },
            { "不明", 2, 3, 3, 3, nullptr }, { "3512345", 1, 7, 0, 7, &catalogue.Row(3) },
            { "消えた広告", 1, 9, 9, 9, nullptr } }));

    // Without the keys given by hand, the rows are as the words match them.
    mapping.Assigned.clear();
    ASSERT_TRUE(ReportImport(table, mapping, "2026-11", catalogue.banners, result).ok);
    EXPECT_EQ(Sums(result), (std::vector<Sum> { { "じゃらん", "2026-11", 5, 0, 0, 1 } }));
    EXPECT_EQ(result.UnmatchedKeys.size(), 3u);
}

// Only the first keys are grouped; the rows of the others are still counted.
TEST(ReportImport, UnmatchedKeysAreGroupedUpToABound)
{
    ReportCatalogue catalogue;
    std::string report = "id,pv,ct,yen\n";
    for (int i = 0; i < 1200; ++i)
        report += "k" + std::to_string(i) + ",1,1,1\nk0,1,1,1\n";
    ReportTable table;
    ASSERT_TRUE(ReadReportTable(report, table).ok);
    ReportImportResult result;
    ASSERT_TRUE(ReportImport(table, Mapping("id", "pv", "ct", "yen"), "2026-11", catalogue.banners, result).ok);
    ASSERT_EQ(result.UnmatchedKeys.size(), kReportListedRows);
    EXPECT_EQ(result.UnmatchedKeys.front().Rows, 1201u);
    EXPECT_EQ(result.UnmatchedKeys.back().Key, "k999");
    EXPECT_EQ(result.UnmatchedRows, 2400u);
}

// A failure tells its facts apart from its words: the kind, the line, the
// column and the cell, for the window to say in its own language.
TEST(ReportImport, FailuresCarryTheirKindLineColumnAndValue)
{
    ReportCatalogue catalogue;
    struct Case {
        std::string report;
        ReportMapping mapping;
        const char* period;
        ReportError expected;
    };
    const std::string good = "name,pv,ct,yen,day\nじゃらん,1,1,1,2026-11\n";
    const Case cases[] = {
        { good, Mapping("名前", "pv", "ct", "yen"), "2026-11",
            { .Kind = ReportErrorKind::NoColumn, .Field = ReportField::Key, .Value = "名前" } },
        { good, Mapping("name", "pv", "", "yen"), "2026-11",
            { .Kind = ReportErrorKind::NoColumn, .Field = ReportField::Clicks } },
        { good, Mapping("name", "pv", "ct", "yen"), "2026-13",
            { .Kind = ReportErrorKind::BadPeriod, .Value = "2026-13" } },
        { "name,pv,ct,yen\nじゃらん,1,1,1\nじゃらん,\" たくさん \",1,1\n", Mapping("name", "pv", "ct", "yen"),
            "2026-11",
            { .Kind = ReportErrorKind::NotANumber,
                .Field = ReportField::PV,
                .Line = 3,
                .Column = 2,
                .ColumnName = "pv",
                .Value = "たくさん" } },
        { "name,,ct,yen\nじゃらん,\"1234,567\",1,1\n", Mapping("name", "2", "ct", "yen"), "2026-11",
            { .Kind = ReportErrorKind::Grouping,
                .Field = ReportField::PV,
                .Line = 2,
                .Column = 2,
                .Value = "1234,567" } },
        { "name,pv,ct,yen\nじゃらん,1,1,9000000000000000000\n", Mapping("name", "pv", "ct", "yen"), "2026-11",
            { .Kind = ReportErrorKind::FigureTooLarge,
                .Field = ReportField::Revenue,
                .Line = 2,
                .Column = 4,
                .ColumnName = "yen",
                .Value = "9000000000000000000" } },
        { good + "じゃらん,1,1,1,昨日\n", Mapping("name", "pv", "ct", "yen", ReportMatch::Name, "day"), "",
            { .Kind = ReportErrorKind::NotAMonth,
                .Field = ReportField::Month,
                .Line = 3,
                .Column = 5,
                .ColumnName = "day",
                .Value = "昨日" } },
    };
    for (const auto& c : cases) {
        ReportTable table;
        ASSERT_TRUE(ReadReportTable(c.report, table).ok);
        ReportImportResult result;
        const Status imported = ReportImport(table, c.mapping, c.period, catalogue.banners, result);
        ASSERT_FALSE(imported.ok) << c.report;
        const ReportError& e = result.Error;
        EXPECT_EQ(e.Kind, c.expected.Kind) << imported.error;
        EXPECT_EQ(e.Field, c.expected.Field) << imported.error;
        EXPECT_EQ(e.Line, c.expected.Line) << imported.error;
        EXPECT_EQ(e.Column, c.expected.Column) << imported.error;
        EXPECT_EQ(e.ColumnName, c.expected.ColumnName) << imported.error;
        EXPECT_EQ(e.Value, c.expected.Value) << imported.error;
        // The English words the command line prints are made from the same facts.
        EXPECT_EQ(imported.error, ReportErrorText(e));
    }

    std::string sum = "name,pv,ct,yen\n";
    for (int row = 0; row < 9224; ++row)
        sum += "じゃらん,1,1000000000000000,1\n";
    ReportTable table;
    ASSERT_TRUE(ReadReportTable(sum, table).ok);
    ReportImportResult result;
    ASSERT_FALSE(ReportImport(table, Mapping("1", "2", "3", "4"), "2026-11", catalogue.banners, result).ok);
    EXPECT_EQ(result.Error.Kind, ReportErrorKind::SumOverflow);
    EXPECT_EQ(result.Error.Field, ReportField::Clicks);
    EXPECT_EQ(result.Error.Line, 9225u);
    EXPECT_EQ(codec::DecodeSjis(result.Error.Banner), "じゃらん");
    EXPECT_EQ(result.Error.Period, "2026-11");

    // A success leaves no error behind from the result's last use.
    ASSERT_TRUE(ReadReportTable("name,pv,ct,yen\nじゃらん,1,1,1\n", table).ok);
    ASSERT_TRUE(ReportImport(table, Mapping("1", "2", "3", "4"), "2026-11", catalogue.banners, result).ok);
    EXPECT_FALSE(result.Error);
}

TEST(ReportTable, ReadingFailuresCarryTheirKind)
{
    struct Case {
        std::string report;
        ReportErrorKind kind;
        size_t line = 0;
    };
    const Case cases[] = {
        { "", ReportErrorKind::Empty },
        { "a,b\n1,2\n\"3,4\n", ReportErrorKind::UnclosedQuote, 3 },
        { "\"a,b\n", ReportErrorKind::UnclosedQuote, 1 },
        { std::string(kReportMaxColumns, ',') + "\n", ReportErrorKind::TooManyColumns },
    };
    for (const auto& c : cases) {
        ReportTable table;
        ReportError error;
        const Status read = ReadReportTable(c.report, table, &error);
        ASSERT_FALSE(read.ok);
        EXPECT_EQ(error.Kind, c.kind) << read.error;
        EXPECT_EQ(error.Line, c.line) << read.error;
        EXPECT_EQ(read.error, ReportErrorText(error));
    }
    ReportTable table;
    ReportError error;
    const Status missing = ReadReportFile("/nonexistent/report.csv", table, &error);
    ASSERT_FALSE(missing.ok);
    EXPECT_EQ(error.Kind, ReportErrorKind::Unreadable);
    EXPECT_EQ(error.Path, "/nonexistent/report.csv");
    EXPECT_NE(error.Detail.find("No such file"), std::string::npos) << error.Detail;
}

} // namespace
} // namespace pw

// report import|show against a settings folder built with the catalogue
// commands, with reports written as the networks write them.

#include "base/files.h"
#include "cli/cli.h"
#include "reports/statshistory.h"
#include "support/clirun.h"
#include "support/tempdir.h"
#include "text/codec.h"
#include "text/pageencoding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sqlite3.h>

namespace pw::cli {
namespace {

using Outcome = test::CliOutcome;

struct Fixture {
    test::TempDir dir;
    std::string settings = dir.file("settings");

    Fixture()
    {
        std::filesystem::create_directory(settings);
        Add("楽天トラベル", "<a href=\"https://px.a8.net/svt/ejp?a8mat=3T1ABC+s00000012345001\">楽天トラベル</a>");
        Add("じゃらん", "<a href=\"https://px.a8.net/svt/ejp?a8mat=3T1ABC+s00000012345002\">予約</a>");
        Add("Yahoo!ショッピング",
            "<a href=\"//ck.jp.ap.valuecommerce.com/servlet/referral?sid=35&pid=887654321\">Y</a>");
        Add("手入力の広告", "<img src=\"self.png\">", "500");
    }
    void Add(const std::string& name, const std::string& html, const std::string& pv = "0")
    {
        const Outcome added = Run({ "catalogue", "add", "--name", name, "--pv", pv }, html);
        ASSERT_EQ(added.code, kExitOk) << added.err;
    }
    Outcome Run(std::vector<std::string> args, const std::string& input = "") const
    {
        args.insert(args.begin(), { "--dir", settings });
        return test::RunCli(args, input);
    }
    std::string Write(const std::string& name, const std::string& bytes) const
    {
        const std::string path = dir.file(name);
        EXPECT_TRUE(WriteFileAtomically(path, bytes).ok);
        return path;
    }
    std::string Catalogue() const { return Run({ "catalogue", "list" }).out; }
    std::string FirstBanner() const
    {
        const std::string list = Catalogue();
        return list.substr(0, list.find('\n'));
    }
};

// An A8-style report of one month: Shift_JIS, CR LF, quoted cells, yen forms,
// a program not in the catalogue and the total row.
std::string A8Report(const char* travelPv, const char* travelRevenue)
{
    return codec::EncodeSjis(std::string("\"プログラム名\",\"表示回数\",\"クリック数\",\"報酬額（確定）\"\r\n"
                                         "\"楽天トラベル\",\"")
        + travelPv + "\",\"120\",\"" + travelRevenue
        + "\"\r\n"
          "\"じゃらん\",\"800\",\"12\",\"1,000円\"\r\n"
          "\"楽天トラベル\",\"1,000\",\"6\",\"￥766\"\r\n"
          "\"退会した広告主\",\"50\",\"1\",\"100\"\r\n"
          "\"合計\",\"\",\"\",\"99,999\"\r\n")
        .bytes;
}

const std::vector<std::string> kA8Columns
    = { "--key", "プログラム名", "--pv", "表示回数", "--clicks", "クリック数", "--revenue", "報酬額（確定）" };

std::vector<std::string> Import(const std::string& path, std::vector<std::string> extra)
{
    std::vector<std::string> args = { "report", "import", path };
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

TEST(ReportCli, ImportPrintsMatchesStoresThemAndTheCatalogueShowsTheSums)
{
    Fixture f;
    const std::string report = f.Write("a8-2026-11.csv", A8Report("12,345", "\\1,234"));
    auto args = Import(report, kA8Columns);
    args.insert(args.end(), { "--period", "2026-11", "--network", "A8.net" });
    const Outcome imported = f.Run(args);
    ASSERT_EQ(imported.code, kExitOk) << imported.err;
    EXPECT_EQ(imported.out, "楽天トラベル\t13345\t126\t2000\nじゃらん\t800\t12\t1000\n");
    EXPECT_EQ(imported.err,
        "pagewick-cli: unmatched line 5: 退会した広告主\n"
        "pagewick-cli: total row, not counted: line 6: 合計\n");
    EXPECT_EQ(f.Catalogue(),
        "楽天トラベル\tその他\t未知タイプ\t13345\t126\t 0.94%\t2000\n"
        "じゃらん\tその他\t未知タイプ\t800\t12\t 1.50%\t1000\n"
        "Yahoo!ショッピング\tその他\t未知タイプ\t0\t0\t 0.00%\t0\n"
        "手入力の広告\tその他\tイメージ広告\t500\t0\t 0.00%\t0\n");
    EXPECT_TRUE(FileExists(f.settings + "/stats.sqlite"));
    EXPECT_EQ(f.Run({ "report", "show" }).out, "楽天トラベル\t13345\t126\t2000\nじゃらん\t800\t12\t1000\n");
}

TEST(ReportCli, ReimportingAMonthReplacesItAndOtherMonthsAddUp)
{
    Fixture f;
    auto november = Import(f.Write("nov.csv", A8Report("100", "100")), kA8Columns);
    november.insert(november.end(), { "--period", "2026-11", "--network", "A8.net" });
    ASSERT_EQ(f.Run(november).code, kExitOk);
    // The corrected report of the same month, with only the network given:
    // the columns are remembered.
    const Outcome again = f.Run({ "report", "import", f.Write("nov2.csv", A8Report("200", "200")), "--network",
        "A8.net", "--period", "2026-11" });
    ASSERT_EQ(again.code, kExitOk) << again.err;
    auto december = Import(f.Write("dec.csv", A8Report("5", "5")), kA8Columns);
    december.insert(december.end(), { "--period", "2026-12", "--network", "もしも" });
    ASSERT_EQ(f.Run(december).code, kExitOk);

    EXPECT_EQ(f.Run({ "report", "show" }).out, "楽天トラベル\t2205\t252\t1737\nじゃらん\t1600\t24\t2000\n");
    EXPECT_EQ(
        f.Run({ "report", "show", "--by", "month" }).out, "2026-11\t2000\t138\t1966\n2026-12\t1805\t138\t1771\n");
    EXPECT_EQ(
        f.Run({ "report", "show", "--by", "network", "--period", "2026-11" }).out, "A8.net\t2000\t138\t1966\n");
    EXPECT_EQ(
        f.Run({ "report", "show", "--by", "network" }).out, "A8.net\t2000\t138\t1966\nもしも\t1805\t138\t1771\n");
    EXPECT_EQ(f.Catalogue().substr(0, f.Catalogue().find('\n')),
        "楽天トラベル\tその他\t未知タイプ\t2205\t252\t11.43%\t1737");
}

// A ValueCommerce-style daily report: UTF-8 with a byte order mark and LF, the
// program ID as key, names with commas and line breaks in quotes, the month
// taken from the date column.
TEST(ReportCli, Utf8ReportMatchedByCodeWithTheMonthFromTheDates)
{
    Fixture f;
    const std::string report = f.Write("vc.csv",
        std::string(kUtf8ByteOrderMark)
            + "日付,広告主ID,広告主名,インプレッション,クリック,成果報酬\n"
              "2026/11/01,887654321,\"Yahoo!ショッピング, 冬\",\"2,000\",20,\"¥1,000\"\n"
              "2026/11/02,887654321,\"Yahoo!ショッピング\n(セール)\",\"3,000\",30,1円\n"
              "2026/12/01,s00000012345001,楽天トラベル,7,1,0\n"
              "合計,,,\"5,007\",51,\"1,001\"\n");
    const std::vector<std::string> columns = { "--key", "広告主ID", "--pv", "インプレッション", "--clicks",
        "クリック", "--revenue", "成果報酬", "--month", "日付", "--match", "code" };
    auto dry = Import(report, columns);
    dry.push_back("--dry-run");
    const Outcome preview = f.Run(dry);
    ASSERT_EQ(preview.code, kExitOk) << preview.err;
    EXPECT_EQ(preview.out, "楽天トラベル\t7\t1\t0\nYahoo!ショッピング\t5000\t50\t1001\n");
    EXPECT_FALSE(FileExists(f.settings + "/stats.sqlite")); // a dry run stores nothing
    EXPECT_EQ(f.FirstBanner(), "楽天トラベル\tその他\t未知タイプ\t0\t0\t 0.00%\t0");

    ASSERT_EQ(f.Run(Import(report, columns)).code, kExitOk);
    EXPECT_EQ(f.Run({ "report", "show", "--by", "month" }).out, "2026-11\t5000\t50\t1001\n2026-12\t7\t1\t0\n");
}

TEST(ReportCli, ABannerLeftOutOfACorrectedMonthLosesItsFigures)
{
    Fixture f;
    auto first = Import(f.Write("nov.csv", A8Report("100", "100")), kA8Columns);
    first.insert(first.end(), { "--period", "2026-11", "--network", "A8.net" });
    ASSERT_EQ(f.Run(first).code, kExitOk);
    const std::string corrected = f.Write("nov-corrected.csv",
        codec::EncodeSjis("プログラム名,表示回数,クリック数,報酬額（確定）\r\n楽天トラベル,10,1,10\r\n").bytes);
    const Outcome again = f.Run({ "report", "import", corrected, "--network", "A8.net", "--period", "2026-11" });
    ASSERT_EQ(again.code, kExitOk) << again.err;
    // じゃらん had only that month: its sums are now nothing, not the replaced figures.
    EXPECT_EQ(f.Catalogue(),
        "楽天トラベル\tその他\t未知タイプ\t10\t1\t10.00%\t10\n"
        "じゃらん\tその他\t未知タイプ\t0\t0\t 0.00%\t0\n"
        "Yahoo!ショッピング\tその他\t未知タイプ\t0\t0\t 0.00%\t0\n"
        "手入力の広告\tその他\tイメージ広告\t500\t0\t 0.00%\t0\n");
}

TEST(ReportCli, ADeletedBannerKeepsItsHistoryUnderItsLastName)
{
    Fixture f;
    auto args = Import(f.Write("nov.csv", A8Report("100", "100")), kA8Columns);
    args.insert(args.end(), { "--period", "2026-11" });
    ASSERT_EQ(f.Run(args).code, kExitOk);
    ASSERT_EQ(f.Run({ "catalogue", "delete", "楽天トラベル" }).code, kExitOk);
    // じゃらん moved to the first section and still has its own figures.
    EXPECT_EQ(
        f.Catalogue().substr(0, f.Catalogue().find('\n')), "じゃらん\tその他\t未知タイプ\t800\t12\t 1.50%\t1000");
    EXPECT_EQ(f.Run({ "report", "show" }).out, "じゃらん\t800\t12\t1000\n楽天トラベル\t1100\t126\t866\n");
    // Without a network the figures go under the banner's own (none here).
    EXPECT_EQ(f.Run({ "report", "show", "--by", "network" }).out, "その他\t1900\t138\t1866\n");
}

TEST(ReportCli, NothingMatchedIsAFailureThatStoresNothing)
{
    Fixture f;
    const std::string report = f.Write("other.csv", "name,pv,ct,yen\nどこにもない,1,1,1\n");
    const Outcome o = f.Run({ "report", "import", report, "--key", "1", "--pv", "2", "--clicks", "3", "--revenue",
        "4", "--period", "2026-11" });
    EXPECT_EQ(o.code, kExitFailure);
    EXPECT_NE(o.err.find("unmatched line 2: どこにもない"), std::string::npos) << o.err;
    EXPECT_EQ(f.Run({ "report", "show" }).out, "");
}

TEST(ReportCli, BadUsageAndUnreadableReportsHaveTheirExitCodes)
{
    Fixture f;
    const std::string good = f.Write("good.csv", "name,pv,ct,yen\nじゃらん,1,1,1\n");
    const std::string broken = f.Write("broken.csv", "name,pv,ct,yen\n\"じゃらん,1,1,1\n");
    const std::string badNumber = f.Write("bad.csv", "name,pv,ct,yen\nじゃらん,1,1,たくさん\n");
    const std::vector<std::string> columns
        = { "--key", "name", "--pv", "pv", "--clicks", "ct", "--revenue", "yen" };
    auto with = [&](const std::string& path, std::vector<std::string> extra) {
        auto args = Import(path, columns);
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    };
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* message;
    };
    const Case cases[] = {
        { { "report" }, kExitUsage, "needs a subcommand" },
        { { "report", "export" }, kExitUsage, "unknown report subcommand" },
        { with(good, {}), kExitUsage, "--month COL or --period" },
        { with(good, { "--period", "2026-11", "--month", "1" }), kExitUsage, "not both" },
        { with(good, { "--period", "2026-13" }), kExitUsage, "YYYY-MM" },
        { with(good, { "--period", "2026-11", "--match", "fuzzy" }), kExitUsage, "name or code" },
        { { "report", "import", good, "--pv", "pv", "--period", "2026-11" }, kExitUsage, "needs --key" },
        { with(good, { "--period", "2026-11", "--sort", "1" }), kExitUsage, "unknown option" },
        { with(f.dir.file("missing.csv"), { "--period", "2026-11" }), kExitFile, "missing.csv" },
        { with(broken, { "--period", "2026-11" }), kExitFile, "never closed" },
        { with(badNumber, { "--period", "2026-11" }), kExitFailure, "\"たくさん\" in column \"yen\"" },
        { with(good, { "--period", "2026-11", "--key", "名前" }), kExitUsage, "given twice" },
        { { "report", "show", "--by", "day" }, kExitUsage, "banner, network or month" },
        { { "report", "show", "extra" }, kExitUsage, "no arguments" },
    };
    for (const auto& c : cases) {
        const Outcome o = f.Run(c.args);
        EXPECT_EQ(o.code, c.code) << c.message << "\n" << o.err;
        EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
    }
    EXPECT_FALSE(FileExists(f.settings + "/stats.sqlite"));
}

// Without column options the columns come from the header's words, as the
// window chooses them; an option still wins over the choice, and a report
// whose header names no key column asks for --key.
TEST(ReportCli, ColumnsNotGivenAreChosenByTheWordsOfTheHeader)
{
    Fixture f;
    const std::string report = f.Write("a8.csv",
        codec::EncodeSjis("日付,プログラム名,インプレッション,クリック,確定報酬\r\n"
                          "2026/11/03,楽天トラベル,\"1,000\",10,\"\\1,500\"\r\n"
                          "2026/12/01,じゃらん,300,3,200\r\n")
            .bytes);
    const Outcome imported = f.Run({ "report", "import", report, "--network", "A8.net" });
    ASSERT_EQ(imported.code, kExitOk) << imported.err;
    EXPECT_EQ(imported.out, "楽天トラベル\t1000\t10\t1500\nじゃらん\t300\t3\t200\n");
    EXPECT_EQ(f.Run({ "report", "show", "--by", "month" }).out, "2026-11\t1000\t10\t1500\n2026-12\t300\t3\t200\n");

    // The choice is remembered as the network's mapping.
    StatsHistory history;
    ASSERT_TRUE(history.Open(f.settings).ok);
    ReportMapping mapping;
    bool found = false;
    ASSERT_TRUE(history.LoadMapping("A8.net", mapping, found).ok);
    ASSERT_TRUE(found);
    EXPECT_EQ(codec::DecodeSjis(mapping.Revenue), "確定報酬");
    EXPECT_EQ(codec::DecodeSjis(mapping.Month), "日付");

    // An option is taken as given: the clicks counted as page views.
    const Outcome given
        = f.Run({ "report", "import", report, "--pv", "クリック", "--period", "2027-01", "--dry-run" });
    ASSERT_EQ(given.code, kExitOk) << given.err;
    EXPECT_EQ(given.out, "楽天トラベル\t10\t10\t1500\nじゃらん\t3\t3\t200\n");

    const Outcome unnamed = f.Run({ "report", "import", f.Write("x.csv", "a,b,c,d\nじゃらん,1,1,1\n"), "--period",
        "2026-11", "--network", "other" });
    EXPECT_EQ(unnamed.code, kExitUsage);
    EXPECT_NE(unnamed.err.find("report import needs --key (no column's header names it"), std::string::npos)
        << unnamed.err;
}

// A key the window gave a banner by hand, remembered with the network's
// mapping, is matched by the command line too.
TEST(ReportCli, KeysGivenABannerInTheWindowAreMatched)
{
    Fixture f;
    auto first = Import(f.Write("nov.csv", A8Report("100", "100")), kA8Columns);
    first.insert(first.end(), { "--period", "2026-11", "--network", "A8.net" });
    ASSERT_EQ(f.Run(first).code, kExitOk);
    std::string id;
    {
        StatsHistory history;
        ASSERT_TRUE(history.Open(f.settings).ok);
        std::map<std::string, std::string> names;
        ASSERT_TRUE(history.BannerNames(names).ok);
        for (const auto& [bannerId, name] : names)
            if (name == codec::EncodeSjis("じゃらん").bytes)
                id = bannerId;
        ASSERT_FALSE(id.empty());
        ReportMapping mapping;
        bool found = false;
        ASSERT_TRUE(history.LoadMapping("A8.net", mapping, found).ok);
        mapping.Assigned[codec::EncodeSjis("退会した広告主").bytes] = id;
        ASSERT_TRUE(history.SaveMapping("A8.net", mapping).ok);
    }
    const Outcome again = f.Run({ "report", "import", f.Write("dec.csv", A8Report("100", "100")), "--network",
        "A8.net", "--period", "2026-12" });
    ASSERT_EQ(again.code, kExitOk) << again.err;
    EXPECT_EQ(again.out, "楽天トラベル\t1100\t126\t866\nじゃらん\t850\t13\t1100\n");
    EXPECT_EQ(again.err.find("退会した広告主"), std::string::npos) << again.err;
}

// True when `text` holds a byte that drives a terminal: a C0 control other
// than LF, DEL, or a C1 control in UTF-8.
bool HoldsControlBytes(std::string_view text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if ((b < 0x20 && b != '\n') || b == 0x7F
            || (b == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0))
            return true;
    }
    return false;
}

TEST(ReportCli, EscapeSequencesInCellsNeverReachTheTerminal)
{
    Fixture f;
    struct Case {
        std::string report;
        std::string shown; // how the cell appears in the message
    } cases[] = {
        { "name,pv,ct,yen\nじゃらん,1,1,\x1B]0;pwned\x07\n", "\"\\x1B]0;pwned\\x07\" in column \"yen\"" },
        { "name,pv,ct,yen\n\x1B[2J,1,1,1\n", "unmatched line 2: \\x1B[2J" },
        { "name,pv,ct,yen\n\"\x1B[2J\r\x1B[1A\",1,1,1\n", "unmatched line 2: \\x1B[2J\\x0D\\x1B[1A" },
    };
    for (const auto& c : cases) {
        const Outcome o = f.Run({ "report", "import", f.Write("evil.csv", c.report), "--key", "1", "--pv", "2",
            "--clicks", "3", "--revenue", "4", "--period", "2026-11" });
        EXPECT_EQ(o.code, kExitFailure) << o.err;
        EXPECT_FALSE(HoldsControlBytes(o.err)) << ::testing::PrintToString(o.err);
        EXPECT_NE(o.err.find(c.shown), std::string::npos) << o.err;
    }
}

std::vector<std::string> ByNumbers(const std::string& path, const char* period = "2026-11")
{
    return { "report", "import", path, "--key", "1", "--pv", "2", "--clicks", "3", "--revenue", "4", "--period",
        period };
}

// A remembered date column gives way to --period: a network's daily report
// was imported by its dates, this month's summary comes with a period.
TEST(ReportCli, PeriodOverridesARememberedMonthColumn)
{
    Fixture f;
    const std::string daily = f.Write("daily.csv", "day,name,pv,ct,yen\n2026-10-05,じゃらん,1,1,1\n");
    const Outcome first = f.Run({ "report", "import", daily, "--network", "A8.net", "--key", "name", "--pv", "pv",
        "--clicks", "ct", "--revenue", "yen", "--month", "day" });
    ASSERT_EQ(first.code, kExitOk) << first.err;
    // The summary still has a date column, of the day it was made.
    const std::string summary = f.Write("summary.csv", "day,name,pv,ct,yen\n2026-12-01,じゃらん,5,5,5\n");
    const Outcome second = f.Run({ "report", "import", summary, "--network", "A8.net", "--period", "2026-11" });
    ASSERT_EQ(second.code, kExitOk) << second.err;
    EXPECT_EQ(f.Run({ "report", "show", "--by", "month" }).out, "2026-10\t1\t1\t1\n2026-11\t5\t5\t5\n");
}

// A bad figure fails the import (exit 1), stores nothing, and the message
// names line and column and quotes a few dozen characters of the cell.
TEST(ReportCli, BadFiguresAreRefusedWithAShortMessageNamingLineAndColumn)
{
    Fixture f;
    const std::string huge(2'000'000, '9');
    struct Case {
        std::string row;
        std::string message;
    } cases[] = {
        { "じゃらん,1,1,9000000000000000000",
            "line 2: the revenue \"9000000000000000000\" in column \"yen\" is beyond" },
        { "じゃらん,1,1,\"1234,567\"",
            "line 2: the revenue \"1234,567\" in column \"yen\" does not have its commas" },
        { "じゃらん,1,1,x" + huge, "line 2: the revenue \"x" + huge.substr(0, 39) + "…\" in column \"yen\"" },
    };
    for (const auto& c : cases) {
        const Outcome o = f.Run(ByNumbers(f.Write("bad.csv", "name,pv,ct,yen\n" + c.row + "\n")));
        EXPECT_EQ(o.code, kExitFailure);
        EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err.substr(0, 300);
        EXPECT_LT(o.err.size(), 300u);
    }
    EXPECT_FALSE(FileExists(f.settings + "/stats.sqlite"));
}

// Figures that an earlier version stored beyond what SQLite's SUM() adds up
// (two months of 9 * 10^18) leave the history readable: the sums are held at
// the largest figure, and imports go on.
TEST(ReportCli, AHistoryHoldingHugeFiguresIsStillShownAndImportedInto)
{
    Fixture f;
    const std::string report = f.Write("r.csv", "name,pv,ct,yen\nじゃらん,1,2,3\n");
    for (const char* period : { "2026-10", "2026-11", "2026-12" })
        ASSERT_EQ(f.Run(ByNumbers(report, period)).code, kExitOk);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((f.settings + "/stats.sqlite").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                  "UPDATE stats SET revenue = 9000000000000000000 WHERE period <> '2026-10';"
                  "UPDATE stats SET pv = -446744073709551616 WHERE period = '2026-10';",
                  nullptr, nullptr, nullptr),
        SQLITE_OK);
    sqlite3_close(db);

    const Outcome shown = f.Run({ "report", "show" });
    EXPECT_EQ(shown.code, kExitOk) << shown.err;
    EXPECT_EQ(shown.out, "じゃらん\t-446744073709551614\t6\t9223372036854775807\n");
    const Outcome byNetwork = f.Run({ "report", "show", "--by", "network" });
    EXPECT_EQ(byNetwork.code, kExitOk) << byNetwork.err;
    EXPECT_EQ(byNetwork.out, "その他\t-446744073709551614\t6\t9223372036854775807\n");
    const Outcome imported = f.Run(ByNumbers(report, "2027-01"));
    EXPECT_EQ(imported.code, kExitOk) << imported.err;
    EXPECT_EQ(f.Run({ "report", "show", "--by", "month", "--period", "2027-01" }).out, "2027-01\t1\t2\t3\n");
}

// Standard error lists the first skipped rows of each kind and counts the rest.
TEST(ReportCli, SkippedRowsAreListedUpToABoundThenCounted)
{
    Fixture f;
    std::string report = "name,pv,ct,yen\nじゃらん,1,1,1\n";
    for (int i = 0; i < 2500; ++i)
        report += "unknown" + std::to_string(i) + ",1,1,1\n";
    const Outcome o = f.Run(ByNumbers(f.Write("many.csv", report)));
    ASSERT_EQ(o.code, kExitOk) << o.err.substr(0, 300);
    EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1001);
    EXPECT_NE(
        o.err.find("pagewick-cli: unmatched line 1002: unknown999\npagewick-cli: and 1500 more unmatched rows\n"),
        std::string::npos);
}

// A report larger than any network writes is refused before it is read.
TEST(ReportCli, AReportAboveTheSizeBoundIsRefused)
{
    Fixture f;
    const std::string report = f.Write("big.csv", "name,pv,ct,yen\n" + std::string(64 * 1024 * 1024, ','));
    const Outcome o = f.Run(ByNumbers(report));
    EXPECT_EQ(o.code, kExitFile);
    EXPECT_NE(o.err.find("big.csv: the report is 65 MiB (67108879 bytes), more than the 64 MiB a report may have"),
        std::string::npos)
        << o.err;
}

TEST(ReportCli, ADamagedHistoryIsReportedKeptAsideAndReplaced)
{
    Fixture f;
    const std::string stats = f.settings + "/stats.sqlite";
    ASSERT_TRUE(WriteFileAtomically(stats, std::string(4096, '\x17')).ok);
    const Outcome shown = f.Run({ "report", "show" });
    EXPECT_EQ(shown.code, kExitOk);
    EXPECT_NE(shown.err.find("stats.sqlite is damaged"), std::string::npos) << shown.err;
    bool kept = false;
    for (const auto& entry : std::filesystem::directory_iterator(f.settings))
        kept = kept || entry.path().filename().string().starts_with("stats.sqlite.damaged-");
    EXPECT_TRUE(kept);
    // The new history takes imports again.
    const Outcome imported = f.Run({ "report", "import", f.Write("r.csv", "name,pv,ct,yen\nじゃらん,1,2,3\n"),
        "--key", "1", "--pv", "2", "--clicks", "3", "--revenue", "4", "--period", "2026-11" });
    EXPECT_EQ(imported.code, kExitOk) << imported.err;
    EXPECT_EQ(f.Run({ "report", "show" }).out, "じゃらん\t1\t2\t3\n");
}

} // namespace
} // namespace pw::cli

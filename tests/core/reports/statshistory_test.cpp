#include "reports/statshistory.h"

#include "base/files.h"
#include "catalogue/archive.h"
#include "catalogue/bannerstore.h"
#include "reports/revenuecharts.h"
#include "reports_fixture.h"
#include "settings/settingsfile.h"
#include "support/tempdir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <limits>
#include <sqlite3.h>
#include <sys/stat.h>

namespace pw {
namespace {

using test::ReportCatalogue;
using test::Sjis;
using test::TempDir;

// A result as an import of `period` would give it: one sum per banner.
ReportImportResult Result(std::string period, std::vector<std::pair<const TAdBanner*, StatsFigures>> figures)
{
    ReportImportResult result;
    for (const auto& [banner, f] : figures)
        result.Matched.push_back({ banner, period, f.PV, f.Clicks, f.Revenue, 1 });
    result.Periods = { period };
    return result;
}

StatsImportInfo Info(std::string network, std::string file = "report.csv")
{
    return { std::move(file), Sjis(network), 1780000000 };
}

// Runs SQL on a database file directly, as another tool would.
void RunSql(const std::string& path, const char* sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* message = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    const std::string text = message ? message : "";
    sqlite3_free(message);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << text;
}

std::string Bytes(const std::string& path)
{
    std::string bytes;
    ReadWholeFile(path, bytes);
    return bytes;
}

struct HistoryTest : ::testing::Test {
    TempDir dir;
    ReportCatalogue catalogue;
    StatsHistory history;

    void SetUp() override
    {
        const Status opened = history.Open(dir.path());
        ASSERT_TRUE(opened.ok) << opened.error;
        for (auto& banner : catalogue.banners.Rows)
            banner->StatsId = NewStatsId();
    }
    std::map<std::string, StatsFigures> Totals(std::string_view period = {})
    {
        std::map<std::string, StatsFigures> totals;
        EXPECT_TRUE(history.BannerTotals(totals, period).ok);
        return totals;
    }
};

TEST_F(HistoryTest, ReimportingANetworksMonthReplacesItWhileOtherNetworksAndMonthsAdd)
{
    TAdBanner* travel = &catalogue.Row(0);
    TAdBanner* jalan = &catalogue.Row(1);
    ASSERT_TRUE(history.StoreImport(Result("2026-10", { { travel, { 100, 10, 1000 } } }), Info("A8.net")).ok);
    ASSERT_TRUE(history
                    .StoreImport(Result("2026-11", { { travel, { 200, 20, 2000 } }, { jalan, { 5, 1, 50 } } }),
                        Info("A8.net"))
                    .ok);
    // The same month again, corrected: じゃらん is gone from it, 楽天トラベル changed.
    std::set<std::string> touched;
    ASSERT_TRUE(
        history.StoreImport(Result("2026-11", { { travel, { 300, 30, 3000 } } }), Info("A8.net"), &touched).ok);
    EXPECT_EQ(touched, (std::set<std::string> { travel->StatsId, jalan->StatsId }));
    // Another network's report of that month adds to it.
    ASSERT_TRUE(history.StoreImport(Result("2026-11", { { travel, { 1, 1, 1 } } }), Info("もしも")).ok);

    auto totals = Totals();
    EXPECT_EQ(totals[travel->StatsId], (StatsFigures { 401, 41, 4001 }));
    EXPECT_EQ(totals.count(jalan->StatsId), 0u);
    EXPECT_EQ(Totals("2026-10")[travel->StatsId], (StatsFigures { 100, 10, 1000 }));

    std::vector<StatsRow> rows;
    ASSERT_TRUE(history.MonthTotals(rows).ok);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Label, "2026-10");
    EXPECT_EQ(rows[1].Figures, (StatsFigures { 301, 31, 3001 }));
    ASSERT_TRUE(history.NetworkTotals(rows).ok);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Label, "A8.net");
    EXPECT_EQ(rows[0].Figures, (StatsFigures { 400, 40, 4000 }));
    EXPECT_EQ(rows[1].Label, Sjis("もしも"));

    std::vector<StatsImportRecord> imports;
    ASSERT_TRUE(history.Imports(imports).ok);
    ASSERT_EQ(imports.size(), 3u); // the replaced import is no longer listed
    EXPECT_EQ(imports[1].Period, "2026-11");
    EXPECT_EQ(imports[1].Time, "2026-05-28T20:26:40Z");
}

// A history written before reports' figures were bounded may hold figures
// whose sums leave int64_t. Every sum the history gives is then held at the
// largest (or smallest) figure instead of failing, exactly where it fits, and
// the history takes imports as before.
TEST_F(HistoryTest, SumsBeyondWhatAFigureHoldsAreHeldInsteadOfFailing)
{
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    constexpr int64_t kHuge = 9'000'000'000'000'000'000;
    TAdBanner* travel = &catalogue.Row(0);
    TAdBanner* jalan = &catalogue.Row(1);
    // Two networks' reports of one month, each with a huge figure, one more
    // month; the largest negative figure on the other banner.
    ASSERT_TRUE(history.StoreImport(Result("2026-11", { { travel, { 1, kHuge, -kHuge } } }), Info("A8.net")).ok);
    ASSERT_TRUE(history.StoreImport(Result("2026-11", { { travel, { 2, kHuge, -kHuge } } }), Info("VC")).ok);
    ASSERT_TRUE(history.StoreImport(Result("2026-12", { { travel, { 3, -kHuge, 5 } } }), Info("A8.net")).ok);
    ASSERT_TRUE(history.StoreImport(Result("2026-11", { { jalan, { kMin, 1, 1 } } }), Info("もしも")).ok);

    // 9e18 + 9e18 - 9e18 fits, whatever order the rows are summed in.
    auto totals = Totals();
    EXPECT_EQ(totals[travel->StatsId], (StatsFigures { 6, kHuge, kMin }));
    EXPECT_EQ(Totals("2026-11")[travel->StatsId], (StatsFigures { 3, kMax, kMin }));
    std::vector<StatsRow> rows;
    ASSERT_TRUE(history.MonthTotals(rows).ok);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Figures, (StatsFigures { kMin + 3, kMax, kMin }));
    ASSERT_TRUE(history.NetworkTotals(rows).ok);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].Figures, (StatsFigures { 4, 0, 5 - kHuge }));
    ASSERT_TRUE(history.BannerHistory(travel->StatsId, rows).ok);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Figures, (StatsFigures { 3, kMax, kMin }));
    std::vector<StatsCell> cells;
    ASSERT_TRUE(history.Cells("2026-11", "2026-12", cells).ok);
    EXPECT_EQ(cells.size(), 4u);

    ASSERT_TRUE(history.StoreImport(Result("2027-01", { { jalan, { 7, 7, 7 } } }), Info("もしも")).ok);
    EXPECT_EQ(Totals("2027-01")[jalan->StatsId], (StatsFigures { 7, 7, 7 }));

    // Sums made in the program hold at the ends alike.
    StatsFigures figures { kMax, kMin, 1 };
    figures += StatsFigures { 1, -1, kMax };
    EXPECT_EQ(figures, (StatsFigures { kMax, kMin, kMax }));
    const RevenueByNetwork chart = MonthlyRevenueByNetwork(
        { { "a", "A8", "2026-11", { 0, 0, kHuge } }, { "b", "A8", "2026-11", { 0, 0, kHuge } } }, { "2026-11" });
    EXPECT_EQ(chart.Revenue, (std::vector<std::vector<int64_t>> { { kMax } }));
    const auto top = TopBannersByRevenue(
        { { "a", "A8", "2026-11", { 0, 0, kHuge } }, { "a", "VC", "2026-11", { 0, 0, kHuge } } }, "2026-11", {});
    ASSERT_EQ(top.size(), 1u);
    EXPECT_EQ(top[0].Figures.Revenue, kMax);
}

// A re-import replaces what earlier imports of the same source stored for the
// month: the source is the network named at the import, or none. Without one
// the figures are shown under the banner's own network, which must not decide
// what is replaced. The file's name plays no part.
TEST_F(HistoryTest, AReimportReplacesTheMonthOfItsSourceWithOrWithoutANetwork)
{
    TAdBanner* travel = &catalogue.Row(0); // shown under A8.net without a network named
    const char* networks[] = { "", "A8.net", "もしも" };
    for (size_t i = 0; i < std::size(networks); ++i) {
        const char* network = networks[i];
        SCOPED_TRACE(network);
        const std::string period = "2026-0" + std::to_string(i + 1);
        ASSERT_TRUE(
            history.StoreImport(Result(period, { { travel, { 10, 1, 100 } } }), Info(network, "first.csv")).ok);
        ASSERT_TRUE(
            history.StoreImport(Result(period, { { travel, { 20, 2, 200 } } }), Info(network, "second.csv")).ok);
        EXPECT_EQ(Totals(period)[travel->StatsId], (StatsFigures { 20, 2, 200 }));
    }
    std::vector<StatsImportRecord> imports;
    ASSERT_TRUE(history.Imports(imports).ok);
    ASSERT_EQ(imports.size(), 3u);
    for (const auto& record : imports)
        EXPECT_EQ(record.File, "second.csv");
}

// The import is one transaction: a statement that fails half way leaves the
// month as the earlier import stored it, figures and log alike.
TEST_F(HistoryTest, AnImportThatFailsHalfWayLeavesTheOldMonthWhole)
{
    TAdBanner* travel = &catalogue.Row(0);
    TAdBanner* jalan = &catalogue.Row(1);
    ASSERT_TRUE(history
                    .StoreImport(Result("2026-11", { { travel, { 1, 1, 1 } }, { jalan, { 2, 2, 2 } } }),
                        Info("A8.net", "first.csv"))
                    .ok);
    // Another tool's trigger refuses the corrected figures of じゃらん only.
    const std::string trigger = "CREATE TRIGGER refuse BEFORE INSERT ON stats WHEN NEW.banner = '" + jalan->StatsId
        + "' BEGIN SELECT RAISE(ABORT, 'refused'); END;";
    RunSql(history.Path(), trigger.c_str());
    const Status stored
        = history.StoreImport(Result("2026-11", { { travel, { 10, 10, 10 } }, { jalan, { 20, 20, 20 } } }),
            Info("A8.net", "second.csv"));
    ASSERT_FALSE(stored.ok);
    EXPECT_NE(stored.error.find("refused"), std::string::npos) << stored.error;
    const auto totals = Totals();
    EXPECT_EQ(totals.at(travel->StatsId), (StatsFigures { 1, 1, 1 }));
    EXPECT_EQ(totals.at(jalan->StatsId), (StatsFigures { 2, 2, 2 }));
    std::vector<StatsImportRecord> imports;
    ASSERT_TRUE(history.Imports(imports).ok);
    ASSERT_EQ(imports.size(), 1u);
    EXPECT_EQ(imports[0].File, "first.csv");
}

TEST_F(HistoryTest, FiguresWithoutANamedNetworkGoUnderTheBannersOwn)
{
    TAdBanner* yahoo = &catalogue.Row(2);
    TAdBanner* other = &catalogue.Add("自社広告", nullptr, "<img src=x>");
    other->StatsId = NewStatsId();
    ASSERT_TRUE(
        history.StoreImport(Result("2026-11", { { yahoo, { 1, 2, 3 } }, { other, { 4, 5, 6 } } }), Info("")).ok);
    std::vector<StatsRow> rows;
    ASSERT_TRUE(history.NetworkTotals(rows).ok);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Label, Sjis("バリューコマース"));
    EXPECT_EQ(rows[1].Label, kNoNetworkName);
}

TEST_F(HistoryTest, StoresInWalModeAndRefusesBannersWithoutId)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(history.Path().c_str(), &db), SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &stmt, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)), "wal");
    sqlite3_finalize(stmt);
    sqlite3_close(db);

    catalogue.Row(1).StatsId.clear();
    const Status stored = history.StoreImport(
        Result("2026-11", { { &catalogue.Row(0), { 1, 1, 1 } }, { &catalogue.Row(1), { 1, 1, 1 } } }), Info("A8"));
    EXPECT_FALSE(stored.ok);
    EXPECT_TRUE(Totals().empty()); // nothing of the refused import was kept
}

TEST_F(HistoryTest, MappingsAreRememberedPerNetwork)
{
    ReportMapping a8 { Sjis("プログラム名"), "3", Sjis("クリック数"), Sjis("確定報酬"), "", ReportMatch::Name };
    ReportMapping vc { "pid", "imp", "click", "yen", Sjis("日付"), ReportMatch::Code };
    ASSERT_TRUE(history.SaveMapping("A8.net", a8).ok);
    ASSERT_TRUE(history.SaveMapping(Sjis("バリューコマース"), vc).ok);
    vc.PV = "impressions";
    ASSERT_TRUE(history.SaveMapping(Sjis("バリューコマース"), vc).ok);
    ReportMapping loaded;
    bool found = false;
    ASSERT_TRUE(history.LoadMapping(Sjis("バリューコマース"), loaded, found).ok);
    ASSERT_TRUE(found);
    EXPECT_EQ(loaded.PV, "impressions");
    EXPECT_EQ(loaded.Month, Sjis("日付"));
    EXPECT_EQ(loaded.Match, ReportMatch::Code);
    ASSERT_TRUE(history.LoadMapping("A8.net", loaded, found).ok);
    EXPECT_EQ(loaded.Key, Sjis("プログラム名"));
    EXPECT_EQ(loaded.Match, ReportMatch::Name);
    ASSERT_TRUE(history.LoadMapping("afb", loaded, found).ok);
    EXPECT_FALSE(found);
}

// The keys a network's mapping gives a banner by hand are remembered with it,
// per network, and a mapping saved again replaces them all.
TEST_F(HistoryTest, KeysGivenABannerByHandAreRememberedWithTheMapping)
{
    ReportMapping a8 { Sjis("プログラム名"), Sjis("表示回数"), Sjis("クリック数"), Sjis("確定報酬"), "",
        ReportMatch::Name };
    a8.Assigned = { { Sjis("旧プログラム"), "00000000000000b1" }, { "s000123", "00000000000000b2" } };
    ReportMapping vc { "pid", "imp", "click", "yen", Sjis("日付"), ReportMatch::Code };
    vc.Assigned = { { "887", "00000000000000c1" } };
    ASSERT_TRUE(history.SaveMapping("A8.net", a8).ok);
    ASSERT_TRUE(history.SaveMapping(Sjis("バリューコマース"), vc).ok);
    ReportMapping loaded;
    bool found = false;
    ASSERT_TRUE(history.LoadMapping("A8.net", loaded, found).ok);
    ASSERT_TRUE(found);
    EXPECT_EQ(loaded.Assigned, a8.Assigned);
    EXPECT_EQ(loaded.Key, a8.Key);

    a8.Assigned.erase("s000123");
    a8.Assigned[Sjis("新しい広告")] = "00000000000000b3";
    ASSERT_TRUE(history.SaveMapping("A8.net", a8).ok);
    ASSERT_TRUE(history.LoadMapping("A8.net", loaded, found).ok);
    EXPECT_EQ(loaded.Assigned, a8.Assigned);
    ASSERT_TRUE(history.LoadMapping(Sjis("バリューコマース"), loaded, found).ok);
    EXPECT_EQ(loaded.Assigned, vc.Assigned);
}

// A history of the version before keys could be given a banner keeps its
// mappings, and takes such keys from then on.
TEST(StatsHistoryFile, AVersionTwoFileKeepsItsMappings)
{
    TempDir dir;
    const std::string path = dir.file("stats.sqlite");
    RunSql(path,
        "CREATE TABLE stats (banner TEXT NOT NULL, source TEXT NOT NULL, network TEXT NOT NULL, period TEXT NOT "
        "NULL, pv INTEGER NOT NULL, clicks INTEGER NOT NULL, revenue INTEGER NOT NULL, PRIMARY KEY (source, "
        "period, banner));"
        "CREATE TABLE imports (id INTEGER PRIMARY KEY, file TEXT NOT NULL, network TEXT NOT NULL, period TEXT NOT "
        "NULL, time TEXT NOT NULL, matched INTEGER NOT NULL, unmatched INTEGER NOT NULL);"
        "CREATE TABLE banners (id TEXT PRIMARY KEY, name TEXT NOT NULL);"
        "CREATE TABLE mappings (network TEXT PRIMARY KEY, key TEXT NOT NULL, pv TEXT NOT NULL, clicks TEXT NOT "
        "NULL, revenue TEXT NOT NULL, month TEXT NOT NULL, match TEXT NOT NULL);"
        "INSERT INTO mappings VALUES ('A8', 'name', 'pv', 'ct', 'yen', '', 'code');"
        "PRAGMA user_version = 2;");
    StatsHistory history;
    ASSERT_TRUE(history.Open(dir.path()).ok);
    EXPECT_EQ(history.SchemaVersion(), 3);
    ReportMapping loaded;
    bool found = false;
    ASSERT_TRUE(history.LoadMapping("A8", loaded, found).ok);
    ASSERT_TRUE(found);
    EXPECT_EQ(loaded.Revenue, "yen");
    EXPECT_EQ(loaded.Match, ReportMatch::Code);
    EXPECT_TRUE(loaded.Assigned.empty());
    loaded.Assigned["k"] = "00000000000000b1";
    ASSERT_TRUE(history.SaveMapping("A8", loaded).ok);
    ASSERT_TRUE(history.LoadMapping("A8", loaded, found).ok);
    EXPECT_EQ(loaded.Assigned.size(), 1u);
}

TEST(StatsHistoryFile, ADamagedFileIsKeptAsideAndANewHistoryStarted)
{
    TempDir dir;
    const std::string path = dir.file("stats.sqlite");
    const std::string garbage(8192, 'x');
    ASSERT_TRUE(WriteFileAtomically(path, garbage).ok);
    StatsHistory history;
    StatsOpenReport report;
    const Status opened = history.Open(dir.path(), &report);
    ASSERT_TRUE(opened.ok) << opened.error;
    EXPECT_TRUE(report.Damaged);
    EXPECT_TRUE(report.DamagedCopy.starts_with(path + ".damaged-")) << report.DamagedCopy;
    std::string kept;
    ASSERT_TRUE(ReadWholeFile(report.DamagedCopy, kept).ok);
    EXPECT_TRUE(kept == garbage);
    EXPECT_NE(DamagedStatsMessage(path, report).find(report.DamagedCopy), std::string::npos);
    // The new history works.
    EXPECT_EQ(history.SchemaVersion(), kStatsSchemaVersion);
    EXPECT_TRUE(history.SaveMapping("A8", ReportMapping { "a", "b", "c", "d", "", ReportMatch::Name }).ok);
}

// A damaged history's -wal and -shm go aside with it, the log as it was:
// left under the old name, SQLite would take them for the new history's.
TEST(StatsHistoryFile, ADamagedFilesCompanionsAreKeptAsideWithIt)
{
    TempDir dir;
    const std::string path = dir.file("stats.sqlite");
    const std::string log = "old write-ahead log";
    ASSERT_TRUE(WriteFileAtomically(path, std::string(8192, 'x')).ok);
    ASSERT_TRUE(WriteFileAtomically(path + "-wal", log).ok);
    ASSERT_TRUE(WriteFileAtomically(path + "-shm", std::string(32768, 's')).ok);
    StatsHistory history;
    StatsOpenReport report;
    ASSERT_TRUE(history.Open(dir.path(), &report).ok);
    ASSERT_TRUE(report.Damaged);
    EXPECT_EQ(Bytes(report.DamagedCopy + "-wal"), log);
    EXPECT_TRUE(std::filesystem::exists(report.DamagedCopy + "-shm"));
    // The new history's own files hold nothing of the old ones.
    EXPECT_EQ(Bytes(path + "-wal").find(log), std::string::npos);
    EXPECT_EQ(Bytes(path + "-shm").find(std::string(64, 's')), std::string::npos);
    EXPECT_TRUE(history.SaveMapping("A8", ReportMapping { "a", "b", "c", "d", "", ReportMatch::Name }).ok);
}

TEST(StatsHistoryFile, APageDamagedInsideARealDatabaseIsFound)
{
    TempDir dir;
    const std::string path = dir.file("stats.sqlite");
    {
        ReportCatalogue catalogue;
        catalogue.Row(0).StatsId = "0000000000000001";
        StatsHistory history;
        ASSERT_TRUE(history.Open(dir.path()).ok);
        ReportImportResult result;
        for (int month = 1; month <= 12; ++month) {
            char period[8];
            std::snprintf(period, sizeof period, "2025-%02d", month);
            result.Matched.push_back({ &catalogue.Row(0), period, month, month, month, 1 });
            result.Periods.push_back(period);
        }
        ASSERT_TRUE(history.StoreImport(result, Info("A8")).ok);
    }
    RunSql(path, "PRAGMA wal_checkpoint(TRUNCATE)");
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(path, bytes).ok);
    ASSERT_GT(bytes.size(), 4096u * 2);
    // Every page after the first one overwritten: the tables' pages are gone.
    for (size_t i = 4096; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(0xA5);
    ASSERT_TRUE(WriteFileAtomically(path, bytes).ok);

    StatsHistory history;
    StatsOpenReport report;
    ASSERT_TRUE(history.Open(dir.path(), &report).ok);
    EXPECT_TRUE(report.Damaged);
    EXPECT_TRUE(std::filesystem::exists(report.DamagedCopy));
}

TEST(StatsHistoryFile, AFileOfANewerSchemaIsRefusedAndLeftAlone)
{
    TempDir dir;
    const std::string path = dir.file("stats.sqlite");
    RunSql(path, "CREATE TABLE future (x); PRAGMA user_version = 99;");
    std::string before;
    ASSERT_TRUE(ReadWholeFile(path, before).ok);
    StatsHistory history;
    StatsOpenReport report;
    const Status opened = history.Open(dir.path(), &report);
    EXPECT_FALSE(opened.ok);
    EXPECT_NE(opened.error.find("newer version"), std::string::npos) << opened.error;
    EXPECT_EQ(report.NewerSchema, 99); // for the window to say so in its own words
    EXPECT_FALSE(history.IsOpen());
    std::string after;
    ASSERT_TRUE(ReadWholeFile(path, after).ok);
    EXPECT_TRUE(after == before); // not printed: the bytes are binary
}

TEST(StatsHistoryFile, AVersionOneFileIsMigratedWithItsFigures)
{
    TempDir dir;
    const std::string path = dir.file("stats.sqlite");
    // The first schema, as the first release wrote it.
    RunSql(path,
        "CREATE TABLE stats (banner TEXT NOT NULL, source TEXT NOT NULL, network TEXT NOT NULL, period TEXT NOT "
        "NULL, pv INTEGER NOT NULL, clicks INTEGER NOT NULL, revenue INTEGER NOT NULL, PRIMARY KEY (source, "
        "period, "
        "banner));"
        "CREATE TABLE imports (id INTEGER PRIMARY KEY, file TEXT NOT NULL, network TEXT NOT NULL, period TEXT NOT "
        "NULL, time TEXT NOT NULL, matched INTEGER NOT NULL, unmatched INTEGER NOT NULL);"
        "INSERT INTO stats VALUES ('00000000000000aa', 'A8', 'A8', '2024-01', 10, 2, 300);"
        "PRAGMA user_version = 1;");
    StatsHistory history;
    ASSERT_TRUE(history.Open(dir.path()).ok);
    EXPECT_EQ(history.SchemaVersion(), kStatsSchemaVersion);
    std::map<std::string, StatsFigures> totals;
    ASSERT_TRUE(history.BannerTotals(totals).ok);
    EXPECT_EQ(totals["00000000000000aa"], (StatsFigures { 10, 2, 300 }));
    // The tables version 2 added are there.
    EXPECT_TRUE(history.SaveMapping("A8", ReportMapping { "a", "b", "c", "d", "", ReportMatch::Code }).ok);
    std::map<std::string, std::string> names;
    EXPECT_TRUE(history.BannerNames(names).ok);
}

// The history holds the user's earnings: like ads.ini it is for the owner's
// eyes only, and so are the -wal and -shm files SQLite makes beside it, a
// history an older version left readable by others, and the new history
// started in place of a damaged one.
TEST(StatsHistoryFile, TheHistoryAndItsCompanionsAreReadableByTheOwnerOnly)
{
    const mode_t oldMask = ::umask(022);
    auto mode = [](const std::string& path) {
        struct stat st { };
        return ::stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
    };
    auto expectOwnerOnly = [&](const std::string& path, const char* what) {
        for (const char* suffix : { "", "-wal", "-shm" })
            EXPECT_EQ(mode(path + suffix), 0600) << what << " " << path << suffix;
    };
    ReportCatalogue catalogue;
    catalogue.Row(0).StatsId = "0000000000000001";
    const ReportImportResult result = Result("2026-11", { { &catalogue.Row(0), { 1, 2, 3 } } });
    {
        TempDir dir;
        StatsHistory history;
        ASSERT_TRUE(history.Open(dir.path()).ok);
        ASSERT_TRUE(history.StoreImport(result, Info("A8")).ok);
        expectOwnerOnly(history.Path(), "new");
    }
    {
        // A history with its -wal and -shm, all 0644, left by an older version.
        TempDir dir;
        const std::string path = dir.file("stats.sqlite");
        {
            StatsHistory history;
            ASSERT_TRUE(history.Open(dir.path()).ok);
            ASSERT_TRUE(history.StoreImport(result, Info("A8")).ok);
            for (const char* suffix : { "", "-wal", "-shm" })
                ASSERT_EQ(::chmod((path + suffix).c_str(), 0644), 0);
            StatsHistory older;
            ASSERT_TRUE(older.Open(dir.path()).ok);
            expectOwnerOnly(path, "narrowed");
        }
    }
    {
        TempDir dir;
        const std::string path = dir.file("stats.sqlite");
        ASSERT_TRUE(WriteFileAtomically(path, std::string(8192, 'x')).ok);
        ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
        StatsHistory history;
        StatsOpenReport report;
        ASSERT_TRUE(history.Open(dir.path(), &report).ok);
        ASSERT_TRUE(report.Damaged);
        ASSERT_TRUE(history.StoreImport(result, Info("A8")).ok);
        expectOwnerOnly(path, "after damage");
    }
    ::umask(oldMask);
}

TEST(StatsHistoryFile, AFolderThatCannotHoldTheFileIsAnError)
{
    StatsHistory history;
    const Status opened = history.Open("/nonexistent-folder/for/pagewick");
    EXPECT_FALSE(opened.ok);
    EXPECT_FALSE(history.IsOpen());
}

// The id lives in the banner's section of ads.ini, so it follows the banner
// through a rename and the renumbering after a removal.
TEST(StatsIds, FollowTheirBannersThroughRenameAndRemoval)
{
    TempDir dir;
    ReportCatalogue catalogue;
    ReportImportResult result
        = Result("2026-11", { { &catalogue.Row(1), { 1, 1, 1 } }, { &catalogue.Row(3), { 2, 2, 2 } } });
    EXPECT_TRUE(AssignStatsIds(catalogue.banners, result));
    EXPECT_FALSE(AssignStatsIds(catalogue.banners, result)); // ids are given once
    EXPECT_TRUE(catalogue.Row(0).StatsId.empty());
    const std::string jalanId = catalogue.Row(1).StatsId;
    const std::string furusatoId = catalogue.Row(3).StatsId;
    ASSERT_EQ(jalanId.size(), 16u);
    EXPECT_NE(jalanId, furusatoId);

    TIniList store;
    catalogue.Row(1).SpaceName = Sjis("じゃらんnet");
    ASSERT_TRUE(SaveBanners(catalogue.banners, store, dir.path()).ok);
    // じゃらん leaves: ふるさと納税 moves from Banner4 to Banner3, and Banner2 (now
    // Yahoo!, which has no id) must not keep じゃらん's.
    ASSERT_TRUE(RemoveBanner(catalogue.banners, store, dir.path(), 1, nullptr).ok);

    TIniList reread;
    ASSERT_TRUE(LoadSettingsFile(reread, dir.path(), kBannerFile).ok);
    BannerList loaded;
    LoadBanners(loaded, reread, {});
    ASSERT_EQ(loaded.Rows.size(), 3u);
    EXPECT_EQ(loaded.Rows[0]->StatsId, "");
    EXPECT_EQ(loaded.Rows[1]->StatsId, "");
    EXPECT_EQ(loaded.Rows[2]->StatsId, furusatoId);
    EXPECT_EQ(reread.ReadString("Banner1", "StatsId", "absent"), "absent"); // banners without history get no key
}

TEST(StatsIds, TotalsReplaceTheFiguresOfBannersWithHistoryOnly)
{
    ReportCatalogue catalogue;
    catalogue.Row(0).StatsId = "a";
    catalogue.Row(0).PV = 1;
    catalogue.Row(1).StatsId = "b"; // an id but no figures stored
    catalogue.Row(1).PV = 7;
    catalogue.Row(2).PV = 9;
    const std::map<std::string, StatsFigures> totals = { { "a", { 200, 50, 5000000000 } } };
    ApplyStatsTotals(catalogue.banners, totals);
    EXPECT_EQ(catalogue.Row(0).PV, 200);
    EXPECT_EQ(catalogue.Row(0).CT, 50);
    EXPECT_FLOAT_EQ(catalogue.Row(0).ClickRate, 25.0f);
    EXPECT_EQ(catalogue.Row(0).TotalRevenue, 2147483647); // capped to what ads.ini holds
    EXPECT_EQ(catalogue.Row(1).PV, 7);
    EXPECT_EQ(catalogue.Row(2).PV, 9);
    // A banner whose figures an import replaced with none has no sums left.
    const std::set<std::string> touched = { "a", "b" };
    ApplyStatsTotals(catalogue.banners, totals, &touched);
    EXPECT_EQ(catalogue.Row(1).PV, 0);
    EXPECT_EQ(catalogue.Row(2).PV, 9);
}

} // namespace
} // namespace pw

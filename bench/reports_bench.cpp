// Importing a network's report of 100,000 rows (a month of daily rows for
// 1,000 banners and a few programs the catalogue lacks, Shift_JIS, quoted
// numbers with yen signs): reading and decoding the file, matching every row
// by name or by the program ID in the banner's HTML, and storing the month in
// stats.sqlite. Baseline of the same run (see baseline.h): reading the same
// CSV file alone (ReadWholeFile and a memchr pass over its lines).
#include "baseline.h"
#include "reports/reportimport.h"
#include "reports/statshistory.h"
#include "reports_fixture.h"

#include <string>

namespace {

using namespace pw;

constexpr int kRows = 100000;

const std::string& ReportFile()
{
    static bench::BenchFolder folder;
    static const std::string path = [] {
        std::string text
            = "\"日付\",\"プログラムID\",\"プログラム名\",\"表示回数\",\"クリック数\",\"報酬額（確定）\"\r\n";
        for (int row = 0; row < kRows; ++row) {
            const int banner = row % (bench::kBannerCount + 20); // 20 programs not in the catalogue
            const int day = row / (bench::kBannerCount + 20) % 28 + 1;
            const std::string name = banner < bench::kBannerCount ? "広告 " + std::to_string(banner)
                                                                  : "終了した広告 " + std::to_string(banner);
            text += "\"2026/11/" + std::to_string(day) + "\",\"" + bench::ProgramId(banner) + "\",\"" + name
                + "\",\"" + std::to_string(1000 + row % 9000) + "\",\"" + std::to_string(row % 97) + "\",\"￥"
                + std::to_string(row % 9) + "," + std::to_string(100 + row % 900) + "\"\r\n";
        }
        text += "\"合計\",\"\",\"\",\"\",\"\",\"\"\r\n";
        const std::string file = folder.path() + "/report.csv";
        if (!WriteFileAtomically(file, codec::EncodeSjis(text).bytes).ok)
            std::abort();
        return file;
    }();
    return path;
}

double ReadFileSeconds(const std::string& path)
{
    return bench::SecondsOf([&] {
        std::string bytes;
        ReadWholeFile(path, bytes);
        benchmark::DoNotOptimize(bench::CountByte(bytes, '\n'));
    });
}

void Import(benchmark::State& state, ReportMatch match, bool store)
{
    const std::string& path = ReportFile();
    BannerList banners = bench::MakeBanners();
    bench::BenchFolder folder;
    StatsHistory history;
    if (store && !history.Open(folder.path()).ok) {
        state.SkipWithError("cannot open the history");
        return;
    }
    const ReportMapping mapping { match == ReportMatch::Name ? "3" : "2", "4", "5", "6", "1", match };
    const double baseline = ReadFileSeconds(path);
    size_t matchedRows = 0;
    for (auto _ : state) {
        ReportTable table;
        ReportImportResult result;
        if (!ReadReportFile(path, table).ok || !ReportImport(table, mapping, "", banners, result).ok) {
            state.SkipWithError("the import failed");
            return;
        }
        if (store && !history.StoreImport(result, { "report.csv", "A8.net", 0 }).ok) {
            state.SkipWithError("the store failed");
            return;
        }
        matchedRows = result.MatchedRows;
    }
    size_t expected = 0;
    for (int row = 0; row < kRows; ++row)
        expected += row % (bench::kBannerCount + 20) < bench::kBannerCount;
    if (matchedRows != expected)
        state.SkipWithError("unexpected number of matched rows");
    state.counters["rows"] = kRows;
    state.counters["matched"] = static_cast<double>(matchedRows);
    bench::ReportBaseline(state, baseline);
}

void ImportByName(benchmark::State& state)
{
    Import(state, ReportMatch::Name, true);
}
void ImportByCode(benchmark::State& state)
{
    Import(state, ReportMatch::Code, true);
}
void MatchByNameWithoutStoring(benchmark::State& state)
{
    Import(state, ReportMatch::Name, false);
}

} // namespace

BENCHMARK(ImportByName)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(ImportByCode)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(MatchByNameWithoutStoring)->Unit(benchmark::kMillisecond)->Iterations(3);

PAGEWICK_BENCHMARK_MAIN();

// Opening the revenue window on five years of history for 1,000 banners
// (60,000 banner-months from two networks): reading the last twelve months,
// the top ten and the first banner's history out of stats.sqlite and drawing
// the three charts. Baseline of the same run (see baseline.h): reading the
// same figures as a CSV file alone (ReadWholeFile and a memchr pass).
#include "baseline.h"
#include "gui/reports/fmrevenue.h"
#include "reports/revenuecharts.h"
#include "reports/statshistory.h"
#include "reports_fixture.h"

#include <QApplication>

#include <cstdio>

namespace {

using namespace pw;

constexpr int kYears = 5;

struct History {
    bench::BenchFolder folder;
    BannerList banners = bench::MakeBanners();
    StatsHistory history;
    std::string csv; // the same figures as a CSV file

    History()
    {
        if (!history.Open(folder.path()).ok)
            std::abort();
        std::string text;
        for (int network = 0; network < 2; ++network) {
            ReportImportResult result;
            for (int month = 0; month < kYears * 12; ++month) {
                char period[8];
                std::snprintf(period, sizeof period, "%04d-%02d", 2022 + month / 12, month % 12 + 1);
                result.Periods.push_back(period);
                for (int b = network; b < bench::kBannerCount; b += 2) {
                    const StatsFigures figures { 1000 + b + month, b % 50 + month % 7,
                        (b * 37 + month * 11) % 5000 };
                    result.Matched.push_back(
                        { banners.Rows[b].get(), period, figures.PV, figures.Clicks, figures.Revenue, 1 });
                    text += CsvRecordText({ banners.Rows[b]->StatsId, period, std::to_string(figures.PV),
                        std::to_string(figures.Clicks), std::to_string(figures.Revenue) });
                }
            }
            if (!history.StoreImport(result, { "r.csv", network ? "VC" : "A8", 0 }).ok)
                std::abort();
        }
        csv = JoinPath(folder.path(), "history.csv");
        if (!WriteFileAtomically(csv, text).ok)
            std::abort();
    }
};

History& Data()
{
    static History data;
    return data;
}

void OpenRevenueWindow(benchmark::State& state)
{
    History& data = Data();
    const double baseline = bench::SecondsOf([&] {
        std::string bytes;
        ReadWholeFile(data.csv, bytes);
        benchmark::DoNotOptimize(bench::CountByte(bytes, '\n'));
    });
    for (auto _ : state) {
        gui::TFmRevenue window;
        if (!window.load(data.history, data.banners).ok) {
            state.SkipWithError("the history could not be read");
            return;
        }
        window.show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(window.chart(gui::TFmRevenue::MonthlyTab));
        state.PauseTiming(); // closing is not opening
        window.close();
        state.ResumeTiming();
    }
    state.counters["banner_months"] = kYears * 12 * bench::kBannerCount;
    bench::ReportBaseline(state, baseline);
}

} // namespace

BENCHMARK(OpenRevenueWindow)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    pw::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

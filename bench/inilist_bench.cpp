// Loading an ads.ini of N banners (8 keys each) and reading every key, as
// start-up does, and writing one. Baselines of the same run (see baseline.h):
// a memchr pass over the text for loading, a copy of it for writing.
#include "baseline.h"
#include "settings/inilist.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

const char* const kKeys[] = { "Number", "Network", "SpaceName", "Type", "PV", "CT", "TotalRevenue", "HTML" };

std::string CatalogueText(int banners)
{
    pw::TIniList store;
    store.LoadFromText("");
    store.WriteInteger("Setups", "AdCount", banners);
    for (int n = 1; n <= banners; ++n) {
        const std::string section = "Banner" + std::to_string(n);
        for (const char* key : kKeys)
            store.WriteString(section, key,
                key == std::string("HTML") ? "<a href=\"x\"><img src=\"y\"></a>" : std::to_string(n));
    }
    return store.SaveToText();
}

void BM_LoadAndReadCatalogue(benchmark::State& state)
{
    const int banners = static_cast<int>(state.range(0));
    const std::string text = CatalogueText(banners);
    const double baseline = pw::bench::MemchrSeconds(text);
    for (auto _ : state) {
        pw::TIniList store;
        store.LoadFromText(text);
        const int count = store.ReadInteger("Setups", "AdCount", 0);
        size_t total = 0;
        for (int n = 1; n <= count; ++n) {
            const std::string section = "Banner" + std::to_string(n);
            for (const char* key : kKeys)
                total += store.ReadString(section, key, "").size();
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * banners);
    pw::bench::ReportBaseline(state, baseline);
}
BENCHMARK(BM_LoadAndReadCatalogue)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_WriteCatalogue(benchmark::State& state)
{
    const int banners = static_cast<int>(state.range(0));
    const std::string text = CatalogueText(banners);
    const double baseline = pw::bench::SecondsOf([&] {
        std::string copy(text);
        benchmark::DoNotOptimize(copy.data());
    });
    for (auto _ : state)
        benchmark::DoNotOptimize(CatalogueText(banners));
    state.SetItemsProcessed(state.iterations() * banners);
    pw::bench::ReportBaseline(state, baseline);
}
BENCHMARK(BM_WriteCatalogue)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

PAGEWICK_BENCHMARK_MAIN()

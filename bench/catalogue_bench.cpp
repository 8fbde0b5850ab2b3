// The catalogue of 10,000 banners: loading ads.ini (the settings text into the
// store, then the banners out of it) and sorting the banner list by each of
// its seven columns, both ways. Baselines of the same run (see baseline.h):
// loading against a memchr pass over the same text; sorting against a plain
// std::sort of the same rows by their names' bytes.
#include "baseline.h"
#include "catalogue/bannerlist.h"
#include "catalogue/bannerstore.h"
#include "settings/inilist.h"

#include <algorithm>
#include <memory>
#include <random>
#include <string>

namespace {

using namespace pw;

constexpr int kBanners = 10000;

std::unique_ptr<TAdBanner> MakeBanner(int n, std::mt19937& random)
{
    auto banner = std::make_unique<TAdBanner>();
    banner->Number = n;
    // Names with ASCII letters of both cases and Shift_JIS, so that the
    // case-blind comparison has work to do.
    static const char* const kPrefixes[] = { "Banner", "banner", "\x8DL\x8D\x90", "AD", "ad", "Shop" };
    banner->SpaceName = std::string(kPrefixes[random() % 6]) + std::to_string(random() % 100000);
    banner->Type = random() % 2 ? "468x60"
                                : "\x83"
                                  "e\x83L\x83X\x83g"; // テキスト
    banner->PV = static_cast<int32_t>(random() % 1000000);
    banner->CT = static_cast<int32_t>(random() % 10000);
    banner->ClickRate = ComputeClickRate(banner->PV, banner->CT);
    banner->TotalRevenue = static_cast<int32_t>(random() % 500000);
    banner->BannerHTML = "<a href=\"http://px.a8.net/svt/ejp?a8mat=" + std::to_string(100000 + n)
        + "\" target=\"_blank\">\r\n<img border=\"0\" width=\"468\" height=\"60\" "
          "src=\"http://www.example.net/img/"
        + std::to_string(n) + ".gif\"></a>";
    return banner;
}

BannerList MakeList()
{
    std::mt19937 random(5);
    BannerList list;
    for (int n = 1; n <= kBanners; ++n)
        list.Rows.push_back(MakeBanner(n, random));
    return list;
}

const std::string& CatalogueText()
{
    static const std::string text = [] {
        const BannerList list = MakeList();
        TIniList store;
        store.LoadFromText("");
        WriteBanners(list, store);
        return store.SaveToText();
    }();
    return text;
}

void BM_LoadCatalogue(benchmark::State& state)
{
    const std::string& text = CatalogueText();
    const NetworkList networks;
    const double baseline = bench::MemchrSeconds(text);
    for (auto _ : state) {
        auto store = std::make_unique<TIniList>();
        store->LoadFromText(text);
        auto list = std::make_unique<BannerList>();
        LoadBanners(*list, *store, networks);
        if (list->Rows.size() != kBanners)
            state.SkipWithError("not every banner loaded");
        benchmark::DoNotOptimize(list->Rows.data());
        state.PauseTiming(); // freeing is not loading
        list.reset();
        store.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
    bench::ReportBaseline(state, baseline);
}
BENCHMARK(BM_LoadCatalogue)->Unit(benchmark::kMillisecond);

// Each round sorts the rows from the same shuffled order.
void BM_SortBanners(benchmark::State& state)
{
    const int column = static_cast<int>(state.range(0));
    const bool descending = state.range(1) != 0;
    BannerList list = MakeList();
    std::mt19937 random(9);
    std::shuffle(list.Rows.begin(), list.Rows.end(), random);
    std::vector<TAdBanner*> shuffled;
    for (const auto& row : list.Rows)
        shuffled.push_back(row.get());
    auto restore = [&] {
        for (size_t i = 0; i < shuffled.size(); ++i) {
            list.Rows[i].release();
            list.Rows[i].reset(shuffled[i]);
        }
    };
    const double baseline = bench::SecondsOf([&] {
        std::vector<const TAdBanner*> rows(shuffled.begin(), shuffled.end());
        std::sort(rows.begin(), rows.end(),
            [](const TAdBanner* a, const TAdBanner* b) { return a->SpaceName < b->SpaceName; });
        benchmark::DoNotOptimize(rows.data());
    });
    for (auto _ : state) {
        state.PauseTiming();
        restore();
        state.ResumeTiming();
        SortBanners(list, column, descending);
        benchmark::DoNotOptimize(list.Rows.data());
    }
    restore();
    state.SetItemsProcessed(state.iterations() * kBanners);
    bench::ReportBaseline(state, baseline);
}
BENCHMARK(BM_SortBanners)
    ->ArgNames({ "column", "descending" })
    ->ArgsProduct({ { 0, 1, 2, 3, 4, 5, 6 }, { 0, 1 } })
    ->Unit(benchmark::kMillisecond);

} // namespace

PAGEWICK_BENCHMARK_MAIN()

// Listing parser and file list sort on a folder of 100,000 entries.
// Baselines of the same run (see baseline.h): a memchr pass over the listing
// text for parsing, a plain std::sort of the entries by their names' bytes
// for sorting.
#include "baseline.h"

#include "sites/filelist.h"
#include "sites/listing.h"
#include "text/lines.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>

namespace {

constexpr int kEntries = 100000;
const pw::DateTime kNow { 2024, 6, 1, 12, 0, 0 };

// A LIST answer with files and folders, both date forms, Shift_JIS names and
// names with blanks, in random order.
std::string MakeListing()
{
    static const char* kMonths[]
        = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };
    static const char* kExtensions[] = { ".html", ".htm", ".txt", ".gif", ".zip", ".cgi", ".js", "" };
    std::mt19937 random(42);
    std::string text = "total 400000\r\n";
    char line[256];
    for (int i = 0; i < kEntries; ++i) {
        const bool folder = random() % 10 == 0;
        const char* month = kMonths[random() % 12];
        const int day = 1 + static_cast<int>(random() % 28);
        char when[16];
        if (random() % 2)
            std::snprintf(
                when, sizeof when, "%02d:%02d", static_cast<int>(random() % 24), static_cast<int>(random() % 60));
        else
            std::snprintf(when, sizeof when, "%d", 1995 + static_cast<int>(random() % 29));
        const char* name = random() % 7 == 0 ? "\x95\x5C\x8E\xA6 page" : "page";
        std::snprintf(line, sizeof line, "%s   1 web      web      %9u %s %2d %5s %s%d%s\r\n",
            folder ? "drwxr-xr-x" : "-rw-r--r--", static_cast<unsigned>(random() % 5000000), month, day, when,
            name, i, folder ? "" : kExtensions[random() % 8]);
        text += line;
    }
    return text;
}

const std::string& Listing()
{
    static const std::string listing = MakeListing();
    return listing;
}

void BM_ParseListing(benchmark::State& state)
{
    const std::string& listing = Listing();
    const double baseline = pw::bench::MemchrSeconds(listing);
    for (auto _ : state) {
        pw::TDirNode folder;
        const std::vector<pw::ListingProblem> problems = pw::ParseListing(folder, pw::SplitLines(listing), kNow);
        if (!problems.empty() || folder.Children->size() != kEntries)
            state.SkipWithError(problems.empty() ? "entries missing" : problems[0].Error.c_str());
        benchmark::DoNotOptimize(folder.Children->data());
        state.PauseTiming(); // freeing the entries is not part of parsing
        folder.ClearChildren();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
    pw::bench::ReportBaseline(state, baseline);
}
BENCHMARK(BM_ParseListing)->Unit(benchmark::kMillisecond);

// Each round sorts the entries in listing order: the folder is parsed again
// outside the timing.
void BM_SortChildren(benchmark::State& state)
{
    const int tag = static_cast<int>(state.range(0));
    const int direction = static_cast<int>(state.range(1));
    const std::vector<std::string> lines = pw::SplitLines(Listing());
    pw::TDirNode parsed;
    (void)pw::ParseListing(parsed, lines, kNow);
    std::vector<const pw::TNode*> entries;
    for (const auto& child : *parsed.Children)
        entries.push_back(child.get());
    const double baseline = pw::bench::SecondsOf([&] {
        std::vector<const pw::TNode*> rows(entries);
        std::sort(
            rows.begin(), rows.end(), [](const pw::TNode* a, const pw::TNode* b) { return a->Name < b->Name; });
        benchmark::DoNotOptimize(rows.data());
    });
    for (auto _ : state) {
        state.PauseTiming();
        pw::TDirNode folder;
        (void)pw::ParseListing(folder, lines, kNow);
        state.ResumeTiming();
        pw::SortChildren(folder, direction, tag);
        benchmark::DoNotOptimize(folder.Children->data());
        state.PauseTiming();
        folder.ClearChildren();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
    pw::bench::ReportBaseline(state, baseline);
}
BENCHMARK(BM_SortChildren)
    ->ArgNames({ "column", "descending" })
    ->ArgsProduct({ { 0, 1, 2, 3 }, { 0, 1 } })
    ->Unit(benchmark::kMillisecond);

} // namespace

PAGEWICK_BENCHMARK_MAIN()

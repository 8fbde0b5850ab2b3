// The page scanner and the caret locator on a generated 20 MB page of 20,000
// normal and rotation blocks rated against a 2,000-banner catalogue, on the
// same page with its markers defaced, and on a page whose 20,000 blocks all
// bear one name. Every figure comes with the time of a plain pass over the
// same bytes (counting "<" with memchr) measured in the same run:
//   ms_per_MB   time per iteration divided by the page size in MB
//   x_memchr    time per iteration divided by the time of the memchr pass
// IndexLines and SplitLinesIntoStrings load the same page's bytes as lines:
// one buffer with a line index, against a string per line.
// The jump and the name lookup report theirs as base_ms and x_base (see
// baseline.h): the memchr pass, and a plain linear lookup of the name.
#include "baseline.h"
#include "catalogue/banner.h"
#include "pageads/adblock.h"
#include "pageads/adcommands.h"
#include "pageads/scanner.h"
#include "text/linebuffer.h"
#include "text/lines.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <vector>

namespace {

using pw::PageEncoding;

constexpr int kBlocks = 20000;
constexpr int kBanners = 2000;
constexpr size_t kPageBytes = 20u * 1000 * 1000;

struct GeneratedPage {
    std::vector<std::string> lines;
    size_t bytes = 0;
    pw::BannerList catalogue;
};

std::string BannerName(int i)
{
    char name[32];
    std::snprintf(name, sizeof name, "banner%04d", i);
    return name;
}

std::string BannerHtml(int i)
{
    return "<a href=\"http://px.a8.net/svt/ejp?a8mat=" + std::to_string(100000 + i)
        + "\" target=\"_blank\">\r\n<img border=\"0\" width=\"468\" height=\"60\" alt=\"\" "
          "src=\"http://www"
        + std::to_string(i % 17) + ".example.net/img/" + std::to_string(i) + ".gif\"></a>";
}

void Append(GeneratedPage& page, const std::string& text)
{
    // Split generated text at CR LF into lines.
    size_t start = 0;
    for (;;) {
        const size_t at = text.find("\r\n", start);
        page.lines.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        page.bytes += page.lines.back().size() + 2;
        if (at == std::string::npos)
            break;
        start = at + 2;
    }
}

enum class Kind { Markers, NoMarkers, OneName };

GeneratedPage Generate(Kind kind)
{
    GeneratedPage page;
    for (int i = 0; i < kBanners; ++i) {
        auto banner = std::make_unique<pw::TAdBanner>();
        banner->Number = i + 1;
        banner->SpaceName = BannerName(i);
        banner->BannerHTML = BannerHtml(i);
        page.catalogue.Rows.push_back(std::move(banner));
    }
    // Filler: a Japanese paragraph with tags, in Shift_JIS.
    const std::string filler = "<p class=\"body\">\x83T\x83"
                               "C\x83g\x82\xCC\x96{\x95\xB6\x82\xC5\x82\xB7\x81"
                               "B<a href=\"/page/next.html\">"
                               "\x8E\x9F\x82\xD6</a> \x95\x5C\x8E\xA6 text text text text text text</p>";
    const size_t perBlock = kPageBytes / kBlocks;
    for (int b = 0; b < kBlocks; ++b) {
        const int banner = kind == Kind::OneName ? 0 : (b * 7) % kBanners;
        const std::string name = BannerName(banner);
        std::string html = BannerHtml(banner);
        if (b % 10 == 9)
            html += "<!-- edited -->"; // a changed block now and then
        std::string block;
        if (b % 3 == 2) {
            block = pw::BuildAdBlock(name, html, pw::abRotation, PageEncoding::ShiftJis);
            const std::string second = BannerName((banner + 1) % kBanners);
            const std::string member = pw::BuildAdBlock(
                second, BannerHtml((banner + 1) % kBanners), pw::abMember, PageEncoding::ShiftJis);
            block.insert(block.find("\r\n\"\"];"), "\r\n" + member);
        } else {
            block = pw::BuildAdBlock(name, html, pw::abNormal, PageEncoding::ShiftJis);
        }
        if (kind == Kind::NoMarkers) {
            for (size_t at = block.find("<!--PW"); at != std::string::npos; at = block.find("<!--PW", at))
                block.replace(at, 6, "<!--pw");
        }
        Append(page, block);
        size_t written = block.size();
        while (written < perBlock) {
            Append(page, filler);
            written += filler.size() + 2;
        }
    }
    return page;
}

const GeneratedPage& Page(Kind kind)
{
    static std::map<Kind, GeneratedPage> pages;
    auto it = pages.find(kind);
    if (it == pages.end())
        it = pages.emplace(kind, Generate(kind)).first;
    return it->second;
}

size_t CountLessThan(const std::vector<std::string>& lines)
{
    size_t count = 0;
    for (const auto& line : lines) {
        const char* p = line.data();
        const char* end = p + line.size();
        while ((p = static_cast<const char*>(std::memchr(p, '<', static_cast<size_t>(end - p))))) {
            ++count;
            ++p;
        }
    }
    return count;
}

// CPU seconds of this thread: the machine is shared, so wall time would
// count other programs' work.
double ThreadSeconds()
{
    timespec now {};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Seconds of one memchr pass over the page, averaged over several.
double MemchrSeconds(const GeneratedPage& page)
{
    constexpr int kRuns = 30;
    const double start = ThreadSeconds();
    for (int i = 0; i < kRuns; ++i)
        benchmark::DoNotOptimize(CountLessThan(page.lines));
    return (ThreadSeconds() - start) / kRuns;
}

template <typename Body> void Measure(benchmark::State& state, const GeneratedPage& page, Body body)
{
    const double baseline = MemchrSeconds(page);
    double total = 0;
    for (auto _ : state) {
        const double start = ThreadSeconds();
        body();
        total += ThreadSeconds() - start;
    }
    const double perIteration = total / static_cast<double>(state.iterations());
    const double megabytes = static_cast<double>(page.bytes) / 1e6;
    state.counters["MB"] = megabytes;
    state.counters["ms_per_MB"] = perIteration * 1000 / megabytes;
    state.counters["memchr_ms_per_MB"] = baseline * 1000 / megabytes;
    state.counters["x_memchr"] = perIteration / baseline;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.bytes));
}

void BM_MemchrPass(benchmark::State& state)
{
    const GeneratedPage& page = Page(static_cast<Kind>(state.range(0)));
    Measure(state, page, [&] { benchmark::DoNotOptimize(CountLessThan(page.lines)); });
}

void BM_ScanAdBlocks(benchmark::State& state)
{
    const GeneratedPage& page = Page(static_cast<Kind>(state.range(0)));
    pw::MemoryPageEditor editor(page.lines);
    size_t nodes = 0;
    Measure(state, page, [&] {
        pw::AdTree tree;
        pw::AdPage adPage { editor, tree, PageEncoding::ShiftJis };
        pw::ScanAdBlocks(adPage, page.catalogue);
        nodes = tree.NodeCount();
    });
    state.counters["nodes"] = static_cast<double>(nodes);
}

// Loading the page's bytes as lines: one buffer with an index of line starts,
// against a string per line as the page used to be held.
const std::string& PageBytes()
{
    static const std::string bytes = pw::JoinLines(Page(Kind::Markers).lines, pw::LineBreak::CrLf);
    return bytes;
}

void BM_IndexLines(benchmark::State& state)
{
    const GeneratedPage& page = Page(Kind::Markers);
    const std::string& bytes = PageBytes();
    Measure(state, page, [&] {
        pw::LineBuffer lines(std::shared_ptr<const void>(), bytes);
        benchmark::DoNotOptimize(lines.Count());
    });
}

void BM_SplitLinesIntoStrings(benchmark::State& state)
{
    const GeneratedPage& page = Page(Kind::Markers);
    const std::string& bytes = PageBytes();
    Measure(state, page, [&] { benchmark::DoNotOptimize(pw::SplitLines(bytes).size()); });
}

void BM_LocateBlockAtCaretLastLine(benchmark::State& state)
{
    const GeneratedPage& page = Page(static_cast<Kind>(state.range(0)));
    pw::MemoryPageEditor editor(page.lines);
    pw::AdTree tree;
    pw::AdPage adPage { editor, tree, PageEncoding::ShiftJis };
    editor.SetCaret({ page.lines.size(), 1 });
    Measure(state, page, [&] { benchmark::DoNotOptimize(pw::LocateBlockAtCaret(adPage, BannerName(0))); });
}

// The last block of the one-name page by its numbered node text.
void BM_SelectLastBlockByName(benchmark::State& state)
{
    const GeneratedPage& page = Page(Kind::OneName);
    pw::MemoryPageEditor editor(page.lines);
    pw::AdTree tree;
    pw::AdPage adPage { editor, tree, PageEncoding::ShiftJis };
    const std::string text = BannerName(0) + "[" + std::to_string(kBlocks * 2 / 3) + "]";
    Measure(state, page, [&] { benchmark::DoNotOptimize(pw::SelectBlockByName(adPage, text, false, false)); });
}

// Each press of F3 looks the next numbered node up in the tree.
void BM_JumpOneName(benchmark::State& state)
{
    const GeneratedPage& page = Page(Kind::OneName);
    pw::MemoryPageEditor editor(page.lines);
    pw::AdTree tree;
    pw::AdPage adPage { editor, tree, PageEncoding::ShiftJis };
    pw::ScanAdBlocks(adPage, page.catalogue);
    int counter = kBlocks / 2;
    const double baseline = MemchrSeconds(page);
    for (auto _ : state) {
        benchmark::DoNotOptimize(pw::Jump(adPage, page.catalogue, *page.catalogue.Rows[0], counter));
        if (counter > kBlocks)
            counter = kBlocks / 2;
    }
    pw::bench::ReportBaseline(state, baseline);
}

void BM_FindBannerByName(benchmark::State& state)
{
    const GeneratedPage& page = Page(Kind::Markers);
    const std::string text = BannerName(kBanners - 1) + "[12345]";
    const std::string name = BannerName(kBanners - 1);
    const double baseline = pw::bench::SecondsOf([&] {
        benchmark::DoNotOptimize(std::find_if(page.catalogue.Rows.begin(), page.catalogue.Rows.end(),
            [&](const auto& row) { return row->SpaceName == name; }));
    });
    for (auto _ : state)
        benchmark::DoNotOptimize(pw::FindBannerByName(page.catalogue, text));
    pw::bench::ReportBaseline(state, baseline);
}

BENCHMARK(BM_MemchrPass)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanAdBlocks)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IndexLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SplitLinesIntoStrings)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LocateBlockAtCaretLastLine)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectLastBlockByName)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JumpOneName)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindBannerByName);

} // namespace

PAGEWICK_BENCHMARK_MAIN()

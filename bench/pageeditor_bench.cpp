// The page editor of the tabs on a generated 20 MB Shift_JIS page of 20,000
// ad blocks: filling the editor (decode included), the scan that builds the ad
// tree through the editor adapter, and both together as when a page opens.
// Every figure comes with the time of a plain decode of the same bytes
// measured in the same run:
//   ms          CPU time per iteration
//   x_decode    time per iteration divided by the time of the plain decode
#include "catalogue/banner.h"
#include "gui/documents/scintillapageeditor.h"
#include "pageads/adblock.h"
#include "pageads/adcommands.h"
#include "pageads/scanner.h"
#include "text/codec.h"
#include "text/lines.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <ctime>
#include <memory>
#include <string>

namespace {

constexpr int kBlocks = 20000;
constexpr int kBanners = 2000;
constexpr size_t kPageBytes = 20u * 1000 * 1000;

struct GeneratedPage {
    std::string bytes;
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
        + "\" target=\"_blank\">\r\n<img border=\"0\" src=\"http://www.example.net/img/" + std::to_string(i)
        + ".gif\"></a>";
}

const GeneratedPage& Page()
{
    static const GeneratedPage page = [] {
        GeneratedPage p;
        for (int i = 0; i < kBanners; ++i) {
            auto banner = std::make_unique<pw::TAdBanner>();
            banner->Number = i + 1;
            banner->SpaceName = BannerName(i);
            banner->BannerHTML = BannerHtml(i);
            p.catalogue.Rows.push_back(std::move(banner));
        }
        const std::string filler
            = "<p class=\"body\">\x83T\x83"
              "C\x83g\x82\xCC\x96{\x95\xB6\x82\xC5\x82\xB7\x81"
              "B<a href=\"/page/next.html\">\x8E\x9F\x82\xD6</a> \x95\x5C\x8E\xA6 text text</p>\r\n";
        const size_t perBlock = kPageBytes / kBlocks;
        p.bytes.reserve(kPageBytes + perBlock);
        for (int b = 0; b < kBlocks; ++b) {
            const int banner = (b * 7) % kBanners;
            const size_t start = p.bytes.size();
            p.bytes += pw::BuildAdBlock(
                BannerName(banner), BannerHtml(banner), pw::abNormal, pw::PageEncoding::ShiftJis);
            p.bytes += "\r\n";
            while (p.bytes.size() - start < perBlock)
                p.bytes += filler;
        }
        return p;
    }();
    return page;
}

double ThreadSeconds()
{
    timespec now {};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double DecodeSeconds(const GeneratedPage& page)
{
    constexpr int kRuns = 5;
    const double start = ThreadSeconds();
    for (int i = 0; i < kRuns; ++i)
        benchmark::DoNotOptimize(pw::codec::DecodeSjis(page.bytes));
    return (ThreadSeconds() - start) / kRuns;
}

template <typename Setup, typename Body> void Measure(benchmark::State& state, Setup setup, Body body)
{
    const GeneratedPage& page = Page();
    const double baseline = DecodeSeconds(page);
    double total = 0;
    for (auto _ : state) {
        setup();
        const double start = ThreadSeconds();
        body();
        total += ThreadSeconds() - start;
    }
    const double perIteration = total / static_cast<double>(state.iterations());
    state.counters["MB"] = static_cast<double>(page.bytes.size()) / 1e6;
    state.counters["ms"] = perIteration * 1000;
    state.counters["decode_ms"] = baseline * 1000;
    state.counters["x_decode"] = perIteration / baseline;
}

void BM_PlainDecode(benchmark::State& state)
{
    Measure(
        state, [] {}, [] { benchmark::DoNotOptimize(pw::codec::DecodeSjis(Page().bytes)); });
}

void BM_EditorFill(benchmark::State& state)
{
    pw::ScintillaPageEditor editor;
    Measure(
        state, [] {}, [&] { editor.LoadPage(Page().bytes, pw::LineBreak::CrLf); });
}

void BM_ScanThroughEditor(benchmark::State& state)
{
    pw::ScintillaPageEditor editor;
    size_t nodes = 0;
    std::unique_ptr<pw::AdTree> tree;
    // Each scan starts from a freshly filled editor (no line encoded yet).
    Measure(
        state,
        [&] {
            editor.LoadPage(Page().bytes, pw::LineBreak::CrLf);
            tree = std::make_unique<pw::AdTree>();
        },
        [&] {
            pw::AdPage page { editor.Page(), *tree, pw::PageEncoding::ShiftJis };
            pw::ScanAdBlocks(page, Page().catalogue);
            nodes = tree->NodeCount();
        });
    state.counters["nodes"] = static_cast<double>(nodes);
}

void BM_FillAndScan(benchmark::State& state)
{
    pw::ScintillaPageEditor editor;
    Measure(
        state, [] {},
        [&] {
            editor.LoadPage(Page().bytes, pw::LineBreak::CrLf);
            pw::AdTree tree;
            pw::AdPage page { editor.Page(), tree, pw::PageEncoding::ShiftJis };
            pw::ScanAdBlocks(page, Page().catalogue);
        });
}

// An ad command on the open page: the insert and the scan that refreshes the
// tree (most lines still encoded from the opening scan).
void BM_AddAdBlockThroughEditor(benchmark::State& state)
{
    pw::ScintillaPageEditor editor;
    std::unique_ptr<pw::AdTree> tree;
    Measure(
        state,
        [&] {
            editor.LoadPage(Page().bytes, pw::LineBreak::CrLf);
            tree = std::make_unique<pw::AdTree>();
            pw::AdPage page { editor.Page(), *tree, pw::PageEncoding::ShiftJis };
            pw::ScanAdBlocks(page, Page().catalogue);
            editor.Page().SetCaret({ editor.Page().LineCount() / 2, 1 });
        },
        [&] {
            pw::AdPage page { editor.Page(), *tree, pw::PageEncoding::ShiftJis };
            pw::AddAdBlock(page, Page().catalogue, *Page().catalogue.Rows[5], false);
        });
}

void BM_PageBytesForSave(benchmark::State& state)
{
    pw::ScintillaPageEditor editor;
    editor.LoadPage(Page().bytes, pw::LineBreak::CrLf);
    Measure(
        state, [] {}, [&] { benchmark::DoNotOptimize(editor.PageBytes()); });
}

BENCHMARK(BM_PlainDecode)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_EditorFill)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ScanThroughEditor)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FillAndScan)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_AddAdBlockThroughEditor)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PageBytesForSave)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// The window's page tabs and file list at scale, with a baseline measured in
// the same run:
//   OpenPage     a 20 MB Shift_JIS page of 20,000 ad blocks opened as a tab is:
//                read from a local folder, decoded into the editor, scanned,
//                its ad tree filled; x_decode is its time over PlainDecode.
//   PlainDecode  reading the same file and decoding its bytes, nothing else.
// (The file list's sort is in bench_guimodels.)
#include "catalogue/banner.h"
#include "gui/documents/documenttab.h"
#include "gui/documents/scintillapageeditor.h"
#include "pageads/adblock.h"
#include "pageads/scanner.h"
#include "sites/documents.h"
#include "sites/nodes.h"
#include "text/codec.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

constexpr int kBlocks = 20000;
constexpr int kBanners = 2000;
constexpr size_t kPageBytes = 20u * 1000 * 1000;
constexpr int kEntries = 100000;

std::string BannerName(int i)
{
    return "banner" + std::to_string(1000 + i);
}

std::string BannerHtml(int i)
{
    return "<a href=\"http://px.a8.net/svt/ejp?a8mat=" + std::to_string(100000 + i)
        + "\"><img width=\"468\" height=\"60\" src=\"http://img.example.net/" + std::to_string(i) + ".gif\"></a>";
}

struct PageFixture {
    std::string folder;
    std::string path;
    size_t bytes = 0;
    pw::BannerList catalogue;

    PageFixture()
    {
        folder = std::filesystem::temp_directory_path() / ("pagewick-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        path = folder + "/big.html";
        for (int i = 0; i < kBanners; ++i) {
            auto banner = std::make_unique<pw::TAdBanner>();
            banner->Number = i + 1;
            banner->SpaceName = BannerName(i);
            banner->BannerHTML = BannerHtml(i);
            catalogue.Rows.push_back(std::move(banner));
        }
        const std::string filler = "<p>\x83T\x83"
                                   "C\x83g\x82\xCC\x96{\x95\xB6\x82\xC5\x82\xB7\x81"
                                   "B "
                                   "\x95\x5C\x8E\xA6 text text text text text text text text</p>\r\n";
        std::string page;
        page.reserve(kPageBytes + 4096);
        const size_t perBlock = kPageBytes / kBlocks;
        for (int b = 0; b < kBlocks; ++b) {
            const int banner = (b * 7) % kBanners;
            const std::string block = pw::BuildAdBlock(BannerName(banner), BannerHtml(banner),
                b % 3 == 2 ? pw::abRotation : pw::abNormal, pw::PageEncoding::ShiftJis);
            const size_t start = page.size();
            page += block + "\r\n";
            while (page.size() - start < perBlock)
                page += filler;
        }
        bytes = page.size();
        std::ofstream(path, std::ios::binary) << page;
    }
    ~PageFixture() { std::filesystem::remove_all(folder); }
};

PageFixture& Page()
{
    static PageFixture page;
    return page;
}

void PlainDecode(benchmark::State& state)
{
    const PageFixture& page = Page();
    for (auto _ : state) {
        std::ifstream in(page.path, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        benchmark::DoNotOptimize(pw::codec::DecodeSjis(bytes));
    }
    state.counters["MB"] = static_cast<double>(page.bytes) / 1e6;
}

void OpenPage(benchmark::State& state)
{
    PageFixture& page = Page();
    pw::TConnection connection;
    connection.Setup = std::make_unique<pw::TSetup>();
    connection.Path = page.folder;
    connection.Connection = &connection;
    auto* file = static_cast<pw::TFileNode*>(connection.AddChild(std::make_unique<pw::TFileNode>()));
    file->Name = "big.html";
    file->Kind = pw::nkPage;
    pw::TransferBuffer buffer;
    pw::FeedbackLog feedback;
    size_t nodes = 0;
    for (auto _ : state) {
        pw::DocumentText text;
        if (!pw::LoadDocument(*file, text, buffer, feedback)) {
            state.SkipWithError("the page could not be read");
            break;
        }
        pw::gui::DocumentTab tab(*file);
        tab.editor()->LoadBuffer(text.Lines, text.Break);
        pw::AdPage adPage = tab.page();
        pw::ScanAdBlocks(adPage, page.catalogue);
        nodes = tab.adTree().NodeCount();
        QCoreApplication::processEvents();
    }
    state.counters["nodes"] = static_cast<double>(nodes);
}

} // namespace

BENCHMARK(PlainDecode)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(OpenPage)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

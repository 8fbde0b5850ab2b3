// Pages in other encodings: the scan of a generated 20 MB page of 20,000
// normal and rotation blocks (Japanese banner names and alt texts, a Japanese
// filler) in Shift_JIS, and of the same page converted to UTF-8 and to EUC-JP,
// rated against the same 2,000-banner catalogue; and the encoding detection on
// each whole page. Figures:
//   ms            CPU time per iteration
//   MB            page size (the UTF-8 page is larger: kana and kanji take
//                 three bytes there)
//   x_shift_jis   scan time divided by the scan time of the Shift_JIS page,
//                 measured in the same run
#include "catalogue/banner.h"
#include "pageads/adblock.h"
#include "pageads/scanner.h"
#include "text/codec.h"
#include "text/pageencoding.h"

#include <benchmark/benchmark.h>

#include <ctime>
#include <map>
#include <string>
#include <vector>

namespace {

using pw::PageEncoding;

constexpr int kBlocks = 20000;
constexpr int kBanners = 2000;
constexpr size_t kPageBytes = 20u * 1000 * 1000;

struct Page {
    std::vector<std::string> lines;
    std::string bytes; // the lines joined by CR LF, as the file holds them
};

std::string Sjis(std::string_view utf8)
{
    return pw::codec::EncodeSjis(utf8).bytes;
}

std::string BannerName(int i)
{
    return Sjis("広告") + std::to_string(1000 + i);
}

std::string BannerHtml(int i)
{
    return Sjis("<a href=\"http://px.a8.net/svt/ejp?a8mat=" + std::to_string(100000 + i)
        + "\" target=\"_blank\">\r\n<img border=\"0\" width=\"468\" height=\"60\" alt=\"表示ソフト"
        + std::to_string(i) + "号\" src=\"http://www" + std::to_string(i % 17) + ".example.net/img/"
        + std::to_string(i) + ".gif\"></a>");
}

const pw::BannerList& Catalogue()
{
    static const pw::BannerList catalogue = [] {
        pw::BannerList list;
        for (int i = 0; i < kBanners; ++i) {
            auto banner = std::make_unique<pw::TAdBanner>();
            banner->Number = i + 1;
            banner->SpaceName = BannerName(i);
            banner->BannerHTML = BannerHtml(i);
            list.Rows.push_back(std::move(banner));
        }
        return list;
    }();
    return catalogue;
}

void Append(Page& page, const std::string& text)
{
    size_t start = 0;
    for (;;) {
        const size_t at = text.find("\r\n", start);
        page.lines.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos)
            break;
        start = at + 2;
    }
}

// The Shift_JIS page, then the same text in the other encodings.
Page Generate(PageEncoding encoding)
{
    Page page;
    const std::string filler = Sjis("<p class=\"body\">サイトの本文です。<a href=\"/page/next.html\">次へ</a> "
                                    "表示 ソフト text text text text text text</p>");
    Append(page, Sjis("<html><head><meta charset=\"") + std::string(pw::PageEncodingName(encoding)) + "\">");
    const size_t perBlock = kPageBytes / kBlocks;
    for (int b = 0; b < kBlocks; ++b) {
        const int banner = (b * 7) % kBanners;
        std::string html = BannerHtml(banner);
        if (b % 10 == 9)
            html += "<!-- edited -->";
        std::string block;
        if (b % 3 == 2) {
            block = pw::BuildAdBlock(BannerName(banner), html, pw::abRotation, PageEncoding::ShiftJis);
            const int second = (banner + 1) % kBanners;
            const std::string member
                = pw::BuildAdBlock(BannerName(second), BannerHtml(second), pw::abMember, PageEncoding::ShiftJis);
            block.insert(block.find("\r\n\"\"];"), "\r\n" + member);
        } else {
            block = pw::BuildAdBlock(BannerName(banner), html, pw::abNormal, PageEncoding::ShiftJis);
        }
        Append(page, block);
        for (size_t written = block.size(); written < perBlock; written += filler.size() + 2)
            Append(page, filler);
    }
    if (encoding != PageEncoding::ShiftJis)
        for (auto& line : page.lines)
            line = pw::codec::Encode(encoding, pw::codec::DecodeSjis(line)).bytes;
    for (const auto& line : page.lines)
        page.bytes.append(line).append("\r\n");
    return page;
}

const Page& GetPage(PageEncoding encoding)
{
    static std::map<PageEncoding, Page> pages;
    auto it = pages.find(encoding);
    if (it == pages.end())
        it = pages.emplace(encoding, Generate(encoding)).first;
    return it->second;
}

double ThreadSeconds()
{
    timespec now {};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

size_t Scan(pw::MemoryPageEditor& editor, PageEncoding encoding)
{
    pw::AdTree tree;
    pw::AdPage adPage { editor, tree, encoding };
    pw::ScanAdBlocks(adPage, Catalogue());
    size_t matched = 0;
    for (const pw::AdNode* node = tree.First(); node; node = tree.Next(*node))
        matched += node->Status() == pw::nsMatched;
    return matched;
}

// Each iteration scans the page and the Shift_JIS page, so that the ratio
// compares runs made under the same load.
void BM_ScanInEncoding(benchmark::State& state)
{
    const auto encoding = static_cast<PageEncoding>(state.range(0));
    const Page& page = GetPage(encoding);
    const Page& sjisPage = GetPage(PageEncoding::ShiftJis);
    // The lines of both pages are copied in turns, so that neither page lies
    // better in memory than the other.
    std::vector<std::string> lines;
    std::vector<std::string> sjisLines;
    for (size_t i = 0; i < page.lines.size(); ++i) {
        lines.push_back(page.lines[i]);
        sjisLines.push_back(sjisPage.lines[i]);
    }
    pw::MemoryPageEditor editor(std::move(lines));
    pw::MemoryPageEditor sjisEditor(std::move(sjisLines));
    size_t matched = 0;
    double total = 0;
    double sjisTotal = 0;
    bool sjisFirst = false;
    auto timed = [](auto body, double& sum) {
        const double start = ThreadSeconds();
        body();
        sum += ThreadSeconds() - start;
    };
    for (auto _ : state) {
        // Which scan runs first alternates, so that neither gains from the other.
        auto page = [&] { matched = Scan(editor, encoding); };
        auto sjis = [&] { benchmark::DoNotOptimize(Scan(sjisEditor, PageEncoding::ShiftJis)); };
        if (sjisFirst) {
            timed(sjis, sjisTotal);
            timed(page, total);
        } else {
            timed(page, total);
            timed(sjis, sjisTotal);
        }
        sjisFirst = !sjisFirst;
    }
    state.SetLabel(std::string(pw::PageEncodingName(encoding)));
    state.counters["MB"] = static_cast<double>(page.bytes.size()) / 1e6;
    state.counters["ms"] = total * 1000 / static_cast<double>(state.iterations());
    state.counters["x_shift_jis"] = total / sjisTotal;
    state.counters["matched"] = static_cast<double>(matched);
}

void BM_DetectPageEncoding(benchmark::State& state)
{
    const auto encoding = static_cast<PageEncoding>(state.range(0));
    const Page& page = GetPage(encoding);
    // Without its declaration, so that the bytes decide.
    const std::string bytes = page.bytes.substr(page.bytes.find("\r\n") + 2);
    PageEncoding detected = PageEncoding::ShiftJis;
    double total = 0;
    for (auto _ : state) {
        const double start = ThreadSeconds();
        detected = pw::DetectPageEncoding(bytes);
        total += ThreadSeconds() - start;
    }
    state.SetLabel(
        std::string(pw::PageEncodingName(encoding)) + " read as " + std::string(pw::PageEncodingName(detected)));
    state.counters["MB"] = static_cast<double>(bytes.size()) / 1e6;
    state.counters["ms"] = total * 1000 / static_cast<double>(state.iterations());
}

// What every scan of a page in that encoding spends on bringing the
// catalogue's names and HTML into page text.
void BM_CatalogueToPageText(benchmark::State& state)
{
    const auto encoding = static_cast<PageEncoding>(state.range(0));
    size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (const auto& row : Catalogue().Rows)
            bytes += pw::ToPageText(encoding, row->SpaceName).size()
                + pw::ToPageText(encoding, row->BannerHTML).size();
        benchmark::DoNotOptimize(bytes);
    }
    state.SetLabel(std::string(pw::PageEncodingName(encoding)));
}

constexpr int kSjis = static_cast<int>(PageEncoding::ShiftJis);
constexpr int kUtf8 = static_cast<int>(PageEncoding::Utf8);
constexpr int kEuc = static_cast<int>(PageEncoding::EucJp);

BENCHMARK(BM_ScanInEncoding)->Arg(kSjis)->Arg(kUtf8)->Arg(kEuc)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CatalogueToPageText)->Arg(kSjis)->Arg(kUtf8)->Arg(kEuc)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DetectPageEncoding)->Arg(kSjis)->Arg(kUtf8)->Arg(kEuc)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

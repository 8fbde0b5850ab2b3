// The file list model on a folder of 100,000 entries: showing it, sorting it
// by a header click (the core's sort alone is the baseline), and reading one
// screen of rows.

#include "gui/sites/filelistmodel.h"
#include "gui/sitewide/siteinventorymodel.h"
#include "sites/connection.h"
#include "sites/filelist.h"

#include <QApplication>
#include <QPersistentModelIndex>

#include <benchmark/benchmark.h>

#include <random>

namespace {

constexpr int kEntries = 100000;

// A tree whose shown folder holds kEntries files and folders in random order.
struct Shown {
    pw::FeedbackLog feedback;
    pw::ConnectionTree tree { [](const pw::FtpClientSettings&) { return std::unique_ptr<pw::FtpClient>(); },
        feedback };
    pw::TSetup setup;

    Shown()
    {
        setup.Name = "bench";
        setup.IniPath = "/";
        setup.Kind = pw::skLocal;
        pw::TConnection* top = tree.Connect(&setup);
        top->ClearChildren();
        top->Children.emplace();
        std::mt19937 random(42);
        for (int i = 0; i < kEntries; ++i) {
            std::unique_ptr<pw::TNode> node;
            if (random() % 10 == 0) {
                node = std::make_unique<pw::TDirNode>();
                node->Kind = pw::nkFolder;
            } else {
                auto file = std::make_unique<pw::TFileNode>();
                file->Size = static_cast<std::int32_t>(random() % 5000000);
                file->Kind = pw::nkPage;
                node = std::move(file);
            }
            node->Name = "page" + std::to_string(random() % 1000000) + ".html";
            node->Date
                = { 2020 + static_cast<int>(random() % 5), 1 + static_cast<int>(random() % 12), 1, 10, 30, 0 };
            top->AddChild(std::move(node));
        }
        tree.Select(top);
    }
};

void BM_CoreColumnClick(benchmark::State& state)
{
    Shown shown;
    for (auto _ : state)
        shown.tree.ColumnClick(static_cast<int>(state.range(0)));
    state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_CoreColumnClick)
    ->Arg(pw::fcName)
    ->Arg(pw::fcDate)
    ->Arg(pw::fcAttributes)
    ->Arg(pw::fcSize)
    ->Unit(benchmark::kMillisecond);

// The same clicks through the model, with a selected row that must follow.
void BM_ModelColumnClick(benchmark::State& state)
{
    Shown shown;
    pw::gui::FileListModel model(shown.tree);
    const QPersistentModelIndex selected = model.index(kEntries / 2, 0);
    for (auto _ : state)
        model.columnClick(static_cast<int>(state.range(0)));
    benchmark::DoNotOptimize(selected.row());
    state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_ModelColumnClick)
    ->Arg(pw::fcName)
    ->Arg(pw::fcDate)
    ->Arg(pw::fcAttributes)
    ->Arg(pw::fcSize)
    ->Unit(benchmark::kMillisecond);

void BM_ModelRefresh(benchmark::State& state)
{
    Shown shown;
    pw::gui::FileListModel model(shown.tree);
    for (auto _ : state)
        model.refresh();
}
BENCHMARK(BM_ModelRefresh)->Unit(benchmark::kMicrosecond);

// What a view reads to paint one screen: 40 rows of four columns.
void BM_ModelScreenOfRows(benchmark::State& state)
{
    Shown shown;
    pw::gui::FileListModel model(shown.tree);
    int first = 0;
    for (auto _ : state) {
        for (int row = first; row < first + 40; ++row)
            for (int column = 0; column < 4; ++column) {
                benchmark::DoNotOptimize(model.index(row, column).data(Qt::DisplayRole));
                benchmark::DoNotOptimize(model.index(row, column).data(Qt::DecorationRole));
            }
        first = (first + 4099) % (kEntries - 40);
    }
}
BENCHMARK(BM_ModelScreenOfRows)->Unit(benchmark::kMicrosecond);

// The whole-site inventory at 100,000 blocks: a sort by page and by line, and
// a filter by status then by banner, through the proxy a view uses.
pw::SiteScanResult InventoryScan()
{
    pw::SiteScanResult scan;
    std::mt19937 random(7);
    constexpr size_t kPages = 10000;
    for (size_t p = 0; p < kPages; ++p) {
        pw::SitePage page;
        page.Relative = "folder" + std::to_string(random() % 100) + "/page" + std::to_string(random()) + ".html";
        page.Path = "/site/" + page.Relative;
        for (int n = 0; n < 10; ++n) {
            pw::SiteAdNode node;
            node.Line = random() % 5000 + 1;
            node.Status = static_cast<pw::TAdNodeStatus>(random() % 4);
            node.Banner = "banner" + std::to_string(random() % 300);
            page.Nodes.push_back(std::move(node));
        }
        scan.Pages.push_back(std::move(page));
    }
    return scan;
}

// 0: sort by page, 1: sort by line, 2: filter by status and banner.
void BM_InventorySortAndFilter(benchmark::State& state)
{
    pw::gui::SiteInventoryModel model;
    model.setScan(InventoryScan());
    pw::gui::SiteInventoryFilter filter;
    filter.setSourceModel(&model);
    const int64_t what = state.range(0);
    for (auto _ : state) {
        if (what < 2) {
            filter.sort(
                what == 0 ? pw::gui::SiteInventoryModel::PageColumn : pw::gui::SiteInventoryModel::LineColumn,
                Qt::AscendingOrder);
        } else {
            filter.setStatus(pw::nsChanged);
            filter.setBanner(QStringLiteral("banner42"));
        }
        benchmark::DoNotOptimize(filter.rowCount());
        state.PauseTiming();
        filter.sort(-1);
        filter.setStatus(-1);
        filter.setBanner({});
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * model.rowCount());
}
BENCHMARK(BM_InventorySortAndFilter)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

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

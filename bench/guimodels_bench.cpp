// The file list model on a folder of 100,000 entries: showing it, sorting it
// by a header click (the core's sort alone is the baseline), and reading one
// screen of rows.

#include "gui/sites/filelistmodel.h"
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

// The banner list at scale, with the core's own load as the baseline of the
// same run:
//   CoreLoad      reading ads.ini with 10,000 banners and building the
//                 catalogue (LoadSettingsFile + LoadBanners), nothing else.
//   WindowStartUp the main window made, started up on the same settings
//                 (catalogue loaded, list filled, sorted by the stored column
//                 "SortColumn" = 4, PV descending) and shown; x_core is its
//                 time over CoreLoad measured just before.
//   SortColumn/c  one header click on column c of the 10,000-row list.
#include "catalogue/bannerlist.h"
#include "catalogue/bannerstore.h"
#include "gui/banners/bannerlistmodel.h"
#include "gui/mainwindow.h"
#include "net/curlftpclient.h"
#include "settings/settingsfile.h"

#include <QApplication>
#include <QTest>

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <unistd.h>

namespace {

constexpr int kBanners = 10000;

struct Settings {
    std::string folder;

    Settings()
    {
        folder = std::filesystem::temp_directory_path() / ("pagewick-banners-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        pw::BannerList banners;
        for (int i = 0; i < kBanners; ++i) {
            auto banner = std::make_unique<pw::TAdBanner>();
            banner->Number = i + 1;
            banner->SpaceName = "banner" + std::to_string((i * 7919) % kBanners);
            banner->Type = i % 3 ? "Image468x60" : "Text";
            banner->PV = (i * 31) % 5000;
            banner->CT = (i * 17) % 300;
            banner->ClickRate = pw::ComputeClickRate(banner->PV, banner->CT);
            banner->TotalRevenue = (i * 13) % 90000;
            banner->BannerHTML = "<a href=\"http://px.a8.net/svt/ejp?a8mat=" + std::to_string(100000 + i)
                + "\"><img width=\"468\" height=\"60\" src=\"http://img.example.net/" + std::to_string(i)
                + ".gif\"></a>";
            banners.Rows.push_back(std::move(banner));
        }
        pw::TIniList ads;
        pw::SaveBanners(banners, ads, folder);
        pw::TIniList main;
        main.WriteInteger("Setups", "SortColumn", 4);
        main.WriteInteger("Setups", "LastAdIndex", 5000);
        pw::SaveSettingsFile(main, folder, pw::kMainSettingsFile);
    }
    ~Settings() { std::filesystem::remove_all(folder); }
};

Settings& Folder()
{
    static Settings settings;
    return settings;
}

double CoreLoadSeconds()
{
    const auto start = std::chrono::steady_clock::now();
    pw::TIniList store;
    pw::LoadSettingsFile(store, Folder().folder, pw::kBannerFile);
    pw::BannerList list;
    pw::NetworkList networks;
    pw::LoadBanners(list, store, networks);
    benchmark::DoNotOptimize(list.Rows.data());
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void CoreLoad(benchmark::State& state)
{
    Folder();
    for (auto _ : state)
        CoreLoadSeconds();
    state.counters["banners"] = kBanners;
}

void WindowStartUp(benchmark::State& state)
{
    const QString folder = QString::fromStdString(Folder().folder);
    double core = 0;
    double window = 0;
    for (auto _ : state) {
        state.PauseTiming();
        core += CoreLoadSeconds();
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        {
            pw::gui::TMainForm form(folder, folder, pw::net::CurlFtpClientFactory());
            form.startUp();
            form.show();
            if (!QTest::qWaitForWindowExposed(&form))
                state.SkipWithError("the window was not shown");
            window += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            state.PauseTiming();
        }
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["x_core"] = core > 0 ? window / core : 0;
}

void SortColumn(benchmark::State& state)
{
    pw::TIniList store;
    pw::LoadSettingsFile(store, Folder().folder, pw::kBannerFile);
    pw::BannerList list;
    pw::NetworkList networks;
    pw::LoadBanners(list, store, networks);
    list.Selected = 123;
    pw::gui::BannerListModel model(list);
    const int column = static_cast<int>(state.range(0));
    for (auto _ : state)
        model.clickColumn(column);
    state.counters["rows"] = model.rowCount();
}

} // namespace

BENCHMARK(CoreLoad)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(WindowStartUp)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(SortColumn)->DenseRange(0, pw::kBannerColumnCount - 1)->Unit(benchmark::kMillisecond)->Iterations(4);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

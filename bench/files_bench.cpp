// The atomic save of a 100 KiB page into folders holding many other files: the
// save looks through the folder for temporary files of killed saves.

#include "base/files.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

void BM_SaveIntoFolder(benchmark::State& state)
{
    std::string folder = (std::filesystem::temp_directory_path() / "pagewick-bench-XXXXXX").string();
    if (!::mkdtemp(folder.data()))
        std::abort();
    for (int64_t i = 0; i < state.range(0); ++i) {
        const std::string name = folder + "/page" + std::to_string(i) + ".html";
        ::close(::open(name.c_str(), O_WRONLY | O_CREAT, 0644));
    }
    const std::string page(100 * 1024, 'x');
    for (auto _ : state) {
        if (!pw::WriteFileAtomically(folder + "/index.html", page).ok)
            state.SkipWithError("save failed");
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_SaveIntoFolder)->Arg(0)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

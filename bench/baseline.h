#pragma once

// Every figure of these benchmarks comes with a baseline measured in the same
// run, on the same machine at the same moment: a plain pass over the same
// bytes (memchr), a copy of them, or a plain sort of as many items. The
// counters are
//   base_ms   CPU milliseconds of one baseline pass
//   x_base    CPU time of one iteration divided by base_ms (worked out by
//             RatioReporter when the run is printed)
// so that a figure reads as a ratio, whatever else the shared machine does.

#include <benchmark/benchmark.h>

#include <cstring>
#include <ctime>
#include <string_view>
#include <vector>

namespace pw::bench {

// CPU seconds of this thread (google benchmark also times the thread's CPU).
inline double ThreadSeconds()
{
    timespec now {};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Average CPU seconds of one call of `body`, over enough calls to fill about
// 50 ms (at least three).
template <typename Body> double SecondsOf(Body body)
{
    int runs = 0;
    const double start = ThreadSeconds();
    double elapsed = 0;
    do {
        body();
        ++runs;
        elapsed = ThreadSeconds() - start;
    } while (runs < 3 || elapsed < 0.05);
    return elapsed / runs;
}

// A plain read of the bytes: counts `c` with memchr.
inline size_t CountByte(std::string_view bytes, char c)
{
    size_t count = 0;
    const char* p = bytes.data();
    const char* end = p + bytes.size();
    while ((p = static_cast<const char*>(std::memchr(p, c, static_cast<size_t>(end - p))))) {
        ++count;
        ++p;
    }
    return count;
}

// Seconds of one memchr pass over the bytes.
inline double MemchrSeconds(std::string_view bytes)
{
    return SecondsOf([&] { benchmark::DoNotOptimize(CountByte(bytes, '\n')); });
}

// Reports the baseline; the ratio is worked out when the run is printed.
inline void ReportBaseline(benchmark::State& state, double baselineSeconds)
{
    state.counters["base_ms"] = baselineSeconds * 1e3;
}

// The console output with x_base: the run's CPU time per iteration divided by
// its base_ms.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter()
        : ConsoleReporter(OO_Tabular)
    {
    }

    void ReportRuns(const std::vector<Run>& reports) override
    {
        std::vector<Run> runs = reports;
        for (Run& run : runs) {
            const auto base = run.counters.find("base_ms");
            if (base == run.counters.end() || base->second.value <= 0 || run.iterations <= 0)
                continue;
            const double perIteration = run.cpu_accumulated_time / static_cast<double>(run.iterations);
            run.counters["x_base"] = benchmark::Counter(perIteration * 1e3 / base->second.value);
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace pw::bench

// main() of a benchmark program, printing with RatioReporter.
#define PAGEWICK_BENCHMARK_MAIN()                                                                                 \
    int main(int argc, char** argv)                                                                               \
    {                                                                                                             \
        benchmark::Initialize(&argc, argv);                                                                       \
        if (benchmark::ReportUnrecognizedArguments(argc, argv))                                                   \
            return 1;                                                                                             \
        pw::bench::RatioReporter reporter;                                                                        \
        benchmark::RunSpecifiedBenchmarks(&reporter);                                                             \
        benchmark::Shutdown();                                                                                    \
        return 0;                                                                                                 \
    }

# The two commands of the README, and a few more for developers.
BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Benchmarks build in a folder of their own, optimised and without the tests,
# whatever generator and build type $(BUILD) was configured with. BENCH_GUI=OFF
# leaves the window's benchmarks out (and Qt with them).
BENCH_BUILD ?= build-bench
BENCH_GUI ?= ON
BENCH_FLAGS ?= -DCMAKE_BUILD_TYPE=Release -DPAGEWICK_WITH_GUI=$(BENCH_GUI) -DPAGEWICK_WITH_TESTS=OFF -DPAGEWICK_WITH_BENCH=ON \
               $(if $(shell command -v ccache),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# A folder configured before keeps its generator; a new one gets Ninja when it is there.
BENCH_GENERATOR = $(if $(wildcard $(BENCH_BUILD)/CMakeCache.txt),,$(if $(shell command -v ninja),-G Ninja))

.PHONY: all deps build run test bench bench-build bench-cli format clean

all: build

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)
	cmake --build $(BUILD)

run: build
	scripts/run-window $(BUILD)

test: build
	scripts/run-tests $(BUILD)

bench-build: deps
	cmake -S . -B $(BENCH_BUILD) $(BENCH_GENERATOR) $(BENCH_FLAGS)
	cmake --build $(BENCH_BUILD) --target benches pagewick-cli

bench: bench-build
	scripts/run-benchmarks $(BENCH_BUILD)

# The command-line program against local FTP and SFTP servers, next to curl and cat.
bench-cli: bench-build
	/usr/bin/python3 bench/cli_bench.py $(BENCH_BUILD)

format:
	find src tests bench -name '*.h' -o -name '*.cpp' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(BENCH_BUILD)

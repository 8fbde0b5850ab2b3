# The two commands of the README, and a few more for developers.
BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
PREFIX ?= /usr/local

# Each target installs the packages of its own group (scripts/install-deps)
# and builds what it needs: `make run` needs no test or benchmark library.
RUN_OPTIONS = -DPAGEWICK_WITH_TESTS=OFF -DPAGEWICK_WITH_BENCH=OFF
TEST_OPTIONS = -DPAGEWICK_WITH_TESTS=ON -DPAGEWICK_WITH_BENCH=ON
# Benchmarks build in a folder of their own, optimised and without the tests,
# whatever build type $(BUILD) was configured with. BENCH_GUI=OFF leaves the
# window's benchmarks out (and Qt with them).
BENCH_BUILD ?= build-bench
BENCH_GUI ?= ON
BENCH_OPTIONS = -DCMAKE_BUILD_TYPE=Release -DPAGEWICK_WITH_GUI=$(BENCH_GUI) -DPAGEWICK_WITH_TESTS=OFF \
                -DPAGEWICK_WITH_BENCH=ON

.PHONY: all deps build run test bench bench-build bench-cli bench-sites bench-bigpage install fuzz icons format screenshot clean

all: build

deps:
	@scripts/install-deps run test bench

build:
	@scripts/install-deps run
	scripts/configure $(BUILD) $(CMAKE_FLAGS) $(RUN_OPTIONS)
	cmake --build $(BUILD)

run: build
	scripts/run-window $(BUILD)

test:
	@scripts/install-deps test
	scripts/configure $(BUILD) $(CMAKE_FLAGS) $(TEST_OPTIONS)
	cmake --build $(BUILD)
	scripts/run-tests $(BUILD)

bench-build:
	@scripts/install-deps bench
	scripts/configure $(BENCH_BUILD) $(BENCH_OPTIONS)
	cmake --build $(BENCH_BUILD) --target benches pagewick-cli

bench: bench-build
	scripts/run-benchmarks $(BENCH_BUILD)

# The command-line program against local FTP and SFTP servers, next to curl and cat.
bench-cli: bench-build
	/usr/bin/python3 bench/cli_bench.py $(BENCH_BUILD)

# Whole-site scans and updates against lftp's mirror and grep.
bench-sites: bench-build
	/usr/bin/python3 bench/site_bench.py $(BENCH_BUILD)

# The real window opening a 20 MB page under Xvfb, next to geany opening it.
bench-bigpage:
	@scripts/install-deps bench
	scripts/configure $(BENCH_BUILD) $(BENCH_OPTIONS)
	cmake --build $(BENCH_BUILD) --target bigpage_window
	/usr/bin/python3 bench/bigpage_window.py $(BENCH_BUILD)

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

fuzz:
	@scripts/install-deps fuzz
	fuzz/pageads/build.sh $(BUILD)-fuzz
	fuzz/networks/build.sh

# Renders the committed PNG icons again after the SVG source changed.
icons:
	@scripts/install-deps icons
	scripts/render-icons

screenshot: build
	@scripts/install-deps screenshot
	scripts/screenshot $(BUILD)

format:
	@scripts/install-deps format
	git ls-files -- 'src/*.h' 'src/*.cpp' 'tests/*.h' 'tests/*.cpp' 'bench/*.h' 'bench/*.cpp' 'fuzz/*.h' 'fuzz/*.cpp' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(BENCH_BUILD)

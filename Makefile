# The two commands of the README, and a few more for developers.
BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
PREFIX ?= /usr/local

# Each target installs the packages of its own group (scripts/install-deps)
# and builds what it needs: `make run` needs no test or benchmark library.
RUN_OPTIONS = -DPAGEWICK_WITH_TESTS=OFF -DPAGEWICK_WITH_BENCH=OFF
TEST_OPTIONS = -DPAGEWICK_WITH_TESTS=ON -DPAGEWICK_WITH_BENCH=ON
BENCH_OPTIONS = -DPAGEWICK_WITH_TESTS=OFF -DPAGEWICK_WITH_BENCH=ON

.PHONY: all deps build run test bench install fuzz icons format screenshot clean

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

bench:
	@scripts/install-deps bench
	scripts/configure $(BUILD) $(CMAKE_FLAGS) $(BENCH_OPTIONS)
	cmake --build $(BUILD)
	scripts/run-benchmarks $(BUILD)

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
	rm -rf $(BUILD)

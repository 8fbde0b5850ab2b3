# The two commands of the README, and a few more for developers.
BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps build run test bench format clean

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

bench: build
	scripts/run-benchmarks $(BUILD)

format:
	find src tests bench -name '*.h' -o -name '*.cpp' | xargs clang-format -i

clean:
	rm -rf $(BUILD)

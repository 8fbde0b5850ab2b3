#!/usr/bin/env bash
# Builds the page ads fuzz targets with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, outside the CMake build:
#   fuzz/pageads/build.sh [OUTDIR]          (default: build-fuzz)
# Run one for a while, keeping new inputs in a corpus folder:
#   build-fuzz/fuzz_scanner -max_total_time=300 -max_len=4096 corpus/ tests/data/pageads/fuzz/
# A crash input goes into tests/data/pageads/fuzz/, where the regression test
# core_pageads_tests (FuzzRegression) runs both targets over every file.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=${1:-$root/build-fuzz}
mkdir -p "$out"
sources=(
    "$root"/src/core/pageads/*.cpp
    "$root"/src/core/text/*.cpp
)
flags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -I "$root/src/core" -I "$root/fuzz/pageads")
for target in fuzz_scanner fuzz_commands; do
    clang++ "${flags[@]}" "$root/fuzz/pageads/$target.cpp" "${sources[@]}" -o "$out/$target"
done
echo "built: $out/fuzz_scanner $out/fuzz_commands"

#!/usr/bin/env bash
# A build folder configured earlier with another generator (Unix Makefiles)
# is configured afresh for Ninja by scripts/configure, instead of failing with
# "generator does not match the generator used previously".
#   configure-generator.sh SOURCE_DIR
set -euo pipefail
source=$1
build=$(mktemp -d "${TMPDIR:-/tmp}/pagewick-configure-XXXXXX")
trap 'rm -rf "$build"' EXIT
options=(-DPAGEWICK_WITH_GUI=OFF -DPAGEWICK_WITH_TESTS=OFF -DPAGEWICK_WITH_BENCH=OFF)
cmake -S "$source" -B "$build" -G "Unix Makefiles" "${options[@]}" >/dev/null
grep -q '^CMAKE_GENERATOR:INTERNAL=Unix Makefiles$' "$build/CMakeCache.txt"
"$source/scripts/configure" "$build" "${options[@]}" >"$build.log" 2>&1 || { cat "$build.log"; rm -f "$build.log"; exit 1; }
rm -f "$build.log"
grep -q '^CMAKE_GENERATOR:INTERNAL=Ninja$' "$build/CMakeCache.txt" || { echo "FAULT: not Ninja"; exit 1; }
[ -f "$build/build.ninja" ] || { echo "FAULT: no build.ninja"; exit 1; }
# Configuring again keeps the folder as it is.
"$source/scripts/configure" "$build" "${options[@]}" | grep -q 'configuring it afresh' && { echo "FAULT: reconfigured afresh twice"; exit 1; }
echo "configure-generator: a Makefiles build folder was configured afresh for Ninja"

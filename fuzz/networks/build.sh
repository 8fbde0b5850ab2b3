#!/bin/sh
# Builds the libFuzzer targets of the networks area with clang, outside the
# CMake build, into build-fuzz-networks/ at the top of the tree.
#   fuzz/networks/build.sh            build
#   fuzz/networks/build.sh run 120    build, then run each target for 120 seconds
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out="$root/build-fuzz-networks"
mkdir -p "$out"
flags="-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined"
includes="-I$root/src/core -I$root/tests"
core="$root/src/core/networks/fieldmap.cpp $root/src/core/networks/network.cpp $root/src/core/networks/regist.cpp
      $root/src/core/networks/siteinfo.cpp $root/src/core/networks/login.cpp $root/src/core/networks/signupfill.cpp
      $root/src/core/networks/definitions.cpp $root/src/core/settings/inilist.cpp $root/src/core/base/files.cpp
      $root/src/core/text/sjis.cpp $root/src/core/text/lines.cpp"
for target in regist definitions; do
    clang++ $flags $includes -o "$out/${target}_fuzz" "$here/${target}_fuzz.cpp" $core
done
if [ "${1:-}" = run ]; then
    seconds=${2:-60}
    for target in regist definitions; do
        mkdir -p "$out/corpus-$target"
        cp "$here/seeds/$target"/* "$out/corpus-$target/" 2>/dev/null || true
        (cd "$out" && "./${target}_fuzz" -max_total_time="$seconds" -max_len=4096 "corpus-$target")
    done
fi

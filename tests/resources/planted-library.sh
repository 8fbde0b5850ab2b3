#!/usr/bin/env bash
# Plants a libsqlite3.so.0 whose constructor leaves a file in a folder, starts
# each program from that folder (`PROGRAM --version`), and checks that the
# program ran as usual and the planted library's code did not: the programs
# find their libraries only where the system keeps them.
#   planted-library.sh CXX PROGRAM...
set -euo pipefail
cxx=$1
shift
work=$(mktemp -d "${TMPDIR:-/tmp}/pagewick-planted-XXXXXX")
trap 'rm -rf "$work"' EXIT

faults=0
fault() {
    echo "FAULT: $*"
    faults=$((faults + 1))
}

cat >"$work/planted.cpp" <<'EOF'
#include <fcntl.h>
#include <unistd.h>
__attribute__((constructor)) static void Planted()
{
    const int fd = ::open("planted-library-ran", O_WRONLY | O_CREAT, 0644);
    if (fd >= 0)
        ::close(fd);
}
EOF
mkdir "$work/cwd"
"$cxx" -shared -fPIC -o "$work/cwd/libsqlite3.so.0" "$work/planted.cpp"
# The planted file must be one the loader would take: check that it runs when
# it is asked for.
(cd "$work/cwd" && LD_PRELOAD="$work/cwd/libsqlite3.so.0" /bin/true)
[ -f "$work/cwd/planted-library-ran" ] || {
    echo "the planted library does not run even when preloaded"
    exit 1
}
rm "$work/cwd/planted-library-ran"

for program in "$@"; do
    name=$(basename "$program")
    grep -q 'libsqlite3\.so\.0' <<<"$(ldd "$program")" || fault "$name does not link libsqlite3.so.0: nothing to plant"
    out=$(cd "$work/cwd" && "$program" --version 2>&1) || fault "$name --version failed there: $out"
    [[ $out == "$name "* ]] || fault "$name --version printed: $out"
    if [ -f "$work/cwd/planted-library-ran" ]; then
        fault "$name loaded the libsqlite3.so.0 of the folder it was started from"
        rm "$work/cwd/planted-library-ran"
    fi
done

if [ "$faults" -ne 0 ]; then
    echo "planted-library: $faults faults"
    exit 1
fi
echo "planted-library: no program loads a library from the folder it is started from"

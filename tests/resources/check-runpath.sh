#!/usr/bin/env bash
# Checks the library search path (RPATH and RUNPATH) of programs and shared
# libraries: an empty entry means the working folder and a relative one is
# taken from it, so either lets a library planted in the folder a program is
# started from run its code. Entries must be absolute or start with $ORIGIN.
# With --forbid PREFIX, no entry may lie under PREFIX (the build tree, for an
# installed program); with --no-origin, none may start with $ORIGIN either (a
# copy of the program in a shared folder would take libraries planted beside
# it). Every FILE must exist; with --scan FOLDER, every ELF file in FOLDER is
# checked as well.
#   check-runpath.sh [--forbid PREFIX] [--no-origin] [--scan FOLDER] FILE...
set -euo pipefail
forbid=
origin=true
files=()
while [ $# -gt 0 ]; do
    case $1 in
    --forbid)
        forbid=$2
        shift 2
        ;;
    --no-origin)
        origin=false
        shift
        ;;
    --scan)
        while IFS= read -r -d '' file; do
            [ "$(head -c 4 "$file" | od -An -c | tr -d ' ')" = '177ELF' ] && files+=("$file")
        done < <(find "$2" -maxdepth 1 -type f -print0)
        shift 2
        ;;
    *)
        files+=("$1")
        shift
        ;;
    esac
done

faults=0
fault() {
    echo "FAULT: $*"
    faults=$((faults + 1))
}

checked=0
declare -A seen=()
for file in "${files[@]}"; do
    [ -n "${seen[$file]:-}" ] && continue
    seen[$file]=1
    if [ ! -f "$file" ]; then
        fault "$file does not exist"
        continue
    fi
    dynamic=$(readelf -d "$file" 2>&1) || {
        fault "readelf -d $file failed: $dynamic"
        continue
    }
    checked=$((checked + 1))
    # Lines such as: 0x...1d (RUNPATH)  Library runpath: [a:b]
    while IFS= read -r line; do
        path=${line#*: [}
        path=${path%]}
        # Split on ':' keeping empty entries, including a leading or trailing one.
        IFS=: read -r -a entries <<<"$path:"
        [ "${#entries[@]}" -eq 0 ] && entries=("")
        empty=false
        for entry in "${entries[@]}"; do
            case $entry in
            '') empty=true ;;
            /*) ;;
            '$ORIGIN' | '$ORIGIN/'* | '${ORIGIN}' | '${ORIGIN}/'*)
                $origin || fault "$file: search path entry '$entry' ([$path]) takes libraries from beside the file"
                ;;
            *) fault "$file: relative search path entry '$entry' ([$path])" ;;
            esac
            if [ -n "$forbid" ] && [[ $entry == "$forbid" || $entry == "$forbid"/* ]]; then
                fault "$file: search path entry '$entry' lies in $forbid"
            fi
        done
        $empty && fault "$file: empty search path entry, that is the working folder ([$path])"
    done < <(grep -E '\((RPATH|RUNPATH)\)' <<<"$dynamic" || true)
done

if [ "$faults" -ne 0 ]; then
    echo "check-runpath: $faults faults"
    exit 1
fi
echo "check-runpath: $checked files, no empty or relative search path entry"

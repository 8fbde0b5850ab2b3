#!/usr/bin/env bash
# Starts the window program offscreen, as installed beside its web-engine
# module, and checks that the engine starts only for a page the window shows:
# with no banner to preview (and no service address), the program loads none
# of the engine and starts no web process; with one banner, the preview loads
# the module and the engine starts its processes. A copy of the program whose
# module another account could have planted or changed (a group-writable
# module, a world-writable folder) refuses the module and says so.
#   window-web-engine.sh PROGRAM CLI MODULE
set -euo pipefail
program=$1
cli=$2
module=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/pagewick-web-XXXXXX")
pid=
cleanup() {
    if [ -n "$pid" ]; then
        pkill -KILL -P "$pid" 2>/dev/null || true
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
export QT_QPA_PLATFORM=offscreen
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu"
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1

faults=0
fault() {
    echo "FAULT: $*"
    faults=$((faults + 1))
}

web_processes() {
    pgrep -P "$pid" -f QtWebEngineProcess | wc -l
}

# Starts the program (PROGRAM, default the one tested) on settings CONFIG and
# waits until it has written them.
start() {
    local config=$1 started=${2:-$program}
    XDG_CONFIG_HOME="$config" HOME="$work/home" "$started" >"$work/log" 2>&1 &
    pid=$!
    for _ in $(seq 1 600); do
        [ -f "$config/pagewick/siteinfo.ini" ] && return 0
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    fault "the program did not start"
    cat "$work/log"
    return 1
}

stop() {
    pkill -KILL -P "$pid" 2>/dev/null || true
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    pid=
}

# Nothing to show: no engine.
if start "$work/empty"; then
    sleep 3
    grep -q libQt6WebEngineCore "/proc/$pid/maps" && fault "the web engine is loaded with no page to show"
    [ "$(web_processes)" -eq 0 ] || fault "web processes run with no page to show"
    stop
fi

# A banner in the preview: the module loads and the engine starts.
mkdir -p "$work/banner/pagewick"
echo '<a href="http://example.org/"><img src="http://example.org/a.gif" width="468" height="60"></a>' \
    | "$cli" --dir "$work/banner/pagewick" catalogue add --name banner1 >/dev/null
if start "$work/banner"; then
    for _ in $(seq 1 600); do
        [ "$(web_processes)" -gt 0 ] && break
        sleep 0.1
    done
    grep -q libpagewick_web "/proc/$pid/maps" || fault "the preview did not load the web module"
    [ "$(web_processes)" -gt 0 ] || fault "the preview started no web process"
    grep -q "web view module did not load" "$work/log" && fault "$(cat "$work/log")"
    stop
fi

# A copy of the program and its module in FOLDER_MODE folder, the module with
# MODULE_MODE, started on the banner's settings; sets $copy.
start_copy() {
    local name=$1 folder_mode=$2 module_mode=$3
    copy="$work/$name"
    mkdir -p "$copy"
    cp "$program" "$copy/pagewick"
    cp "$module" "$copy/libpagewick_web.so"
    chmod "$module_mode" "$copy/libpagewick_web.so"
    chmod "$folder_mode" "$copy"
    start "$work/banner" "$copy/pagewick"
}

# The copy as a user makes it: the module loads from beside it.
if start_copy copy-own 0755 0644; then
    for _ in $(seq 1 600); do
        grep -q libpagewick_web "/proc/$pid/maps" && break
        sleep 0.1
    done
    grep -q "$copy/libpagewick_web.so" "/proc/$pid/maps" || fault "the copy did not load its own module: $(cat "$work/log")"
    stop
fi

for planted in "copy-group-writable 0755 0664 can be changed by other users" \
    "copy-shared-folder 1777 0644 can be changed by other users"; do
    read -r name folder_mode module_mode reason <<<"$planted"
    if start_copy "$name" "$folder_mode" "$module_mode"; then
        for _ in $(seq 1 600); do
            grep -q "is not loaded" "$work/log" && break
            grep -q libpagewick_web "/proc/$pid/maps" && break
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        sleep 1
        grep -q "libpagewick_web.so is not loaded: .*$reason" "$work/log" \
            || fault "$name: no message that the module is refused: $(cat "$work/log")"
        grep -q libpagewick_web "/proc/$pid/maps" && fault "$name: the module was loaded"
        grep -q libQt6WebEngineCore "/proc/$pid/maps" && fault "$name: the web engine was loaded"
        [ "$(web_processes)" -eq 0 ] || fault "$name: web processes run"
        stop
    fi
done

if [ "$faults" -ne 0 ]; then
    echo "window-web-engine: $faults faults"
    exit 1
fi
echo "window-web-engine: the engine starts with the first page shown, and not before"

#!/usr/bin/env bash
# Starts the window program offscreen, as installed beside its web-engine
# module, and checks that the engine starts only for a page the window shows:
# with no banner to preview (and no service address), the program loads none
# of the engine and starts no web process; with one banner, the preview loads
# the module and the engine starts its processes.
#   window-web-engine.sh PROGRAM CLI
set -euo pipefail
program=$1
cli=$2
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

# Starts the program on settings CONFIG and waits until it has written them.
start() {
    local config=$1
    XDG_CONFIG_HOME="$config" HOME="$work/home" "$program" >"$work/log" 2>&1 &
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

if [ "$faults" -ne 0 ]; then
    echo "window-web-engine: $faults faults"
    exit 1
fi
echo "window-web-engine: the engine starts with the first page shown, and not before"

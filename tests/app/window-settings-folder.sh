#!/usr/bin/env bash
# Starts a copy of the window program offscreen and checks where its settings
# files appear: in $XDG_CONFIG_HOME/pagewick (mode 0700, with the private
# scratch folder) and not beside the program; with a Pagewick.ini beside the
# program (portable mode), there and not in $XDG_CONFIG_HOME; and that the
# running program writes no core file.
#   window-settings-folder.sh PROGRAM
set -euo pipefail
program=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/pagewick-window-XXXXXX")
pid=
cleanup() {
    if [ -n "$pid" ]; then
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

# Runs the program copied into FOLDER with XDG_CONFIG_HOME=CONFIG, in a working
# folder of its own, until WAITED_FILE exists (the start-up creates the
# settings files) or, with a fourth argument, until its output has that text;
# then ends it.
run_until() {
    local folder=$1 config=$2 waited=$3 text=${4:-}
    mkdir -p "$folder" "$work/cwd"
    cp "$program" "$folder/pagewick"
    (cd "$work/cwd" && XDG_CONFIG_HOME="$config" HOME="$work/home" exec "$folder/pagewick") >"$work/log" 2>&1 &
    pid=$!
    local seen=false
    for _ in $(seq 1 600); do
        if [ -n "$text" ]; then
            grep -qF -- "$text" "$work/log" && seen=true
        else
            [ -f "$waited" ] && seen=true
        fi
        $seen && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    sleep 0.5
    # What the running program allows a crash to write.
    grep '^Max core file size' "/proc/$pid/limits" >"$work/limits" 2>/dev/null || true
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    pid=
    $seen || { fault "waited in vain for ${text:-$waited}"; cat "$work/log"; }
}

# The user's folder.
run_until "$work/bin" "$work/config" "$work/config/pagewick/siteinfo.ini"
for file in Pagewick.ini ads.ini siteinfo.ini; do
    [ -f "$work/config/pagewick/$file" ] || fault "$file not in \$XDG_CONFIG_HOME/pagewick"
    [ -e "$work/bin/$file" ] && fault "$file written beside the program"
done
[ "$(stat -c %a "$work/config/pagewick")" = 700 ] || fault "settings folder mode $(stat -c %a "$work/config/pagewick")"
[ -d "$work/config/pagewick/scratch" ] || fault "no private scratch folder"
[ -e "$work/home" ] && fault "HOME used although XDG_CONFIG_HOME is set"
# It holds passwords in memory: no core file.
read -r _ _ _ _ soft hard _ <"$work/limits" || true
[ "${soft:-}" = 0 ] && [ "${hard:-}" = 0 ] || fault "core files allowed: $(cat "$work/limits")"

# Portable mode.
mkdir -p "$work/portable"
: >"$work/portable/Pagewick.ini"
run_until "$work/portable" "$work/config2" "$work/portable/siteinfo.ini"
[ -f "$work/portable/ads.ini" ] || fault "ads.ini not beside the program in portable mode"
[ -e "$work/config2" ] && fault "\$XDG_CONFIG_HOME used in portable mode"

# A settings folder that cannot be made: the program says so (and waits in
# its message box) and writes no settings anywhere, not even into the working folder.
: >"$work/blocker"
run_until "$work/bin3" "$work/blocker" "" "pagewick: cannot create the settings folder: $work/blocker"
for file in Pagewick.ini ads.ini siteinfo.ini; do
    [ -e "$work/bin3/$file" ] && fault "$file written beside the program after the failure"
    [ -e "$work/cwd/$file" ] && fault "$file written into the working folder after the failure"
done

if [ "$faults" -ne 0 ]; then
    echo "window-settings-folder: $faults faults"
    exit 1
fi
echo "window-settings-folder: settings in \$XDG_CONFIG_HOME/pagewick, portable mode beside the program"

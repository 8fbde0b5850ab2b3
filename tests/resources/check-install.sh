#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks the installed tree: the
# programs run and tell their version, the desktop entry and the AppStream
# metainfo validate, the icon is in the hicolor theme, the manual pages render,
# the data files and the web-engine module are there, and no program takes
# libraries from the working folder or the build tree.
#   check-install.sh BUILD VERSION WITH_GUI(ON|OFF)
set -euo pipefail
build=$1
version=$2
gui=$3
app=org.pagewick.Pagewick

faults=0
fault() {
    echo "FAULT: $*"
    faults=$((faults + 1))
}
need_file() {
    [ -f "$prefix/$1" ] || fault "missing $1"
}

prefix=$(mktemp -d "${TMPDIR:-/tmp}/pagewick-install-XXXXXX")
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1 || {
    cat "$prefix.log"
    rm -f "$prefix.log"
    fault "cmake --install failed"
    exit 1
}
rm -f "$prefix.log"

# The command-line program: version, and the settings folder of the user, not
# one beside the installed program.
[ "$("$prefix/bin/pagewick-cli" --version)" = "pagewick-cli $version" ] || fault "pagewick-cli --version"
config=$(mktemp -d)
shown=$(XDG_CONFIG_HOME="$config" "$prefix/bin/pagewick-cli" config-dir) || fault "pagewick-cli config-dir failed"
[ "$shown" = "$config/pagewick" ] || fault "installed pagewick-cli uses '$shown'"
rm -rf "$config"

pages=(pagewick-cli)
if [ "$gui" = ON ]; then
    pages+=(pagewick)
    [ "$("$prefix/bin/pagewick" --version)" = "pagewick $version" ] || fault "pagewick --version"

    desktop="share/applications/$app.desktop"
    need_file "$desktop"
    if command -v desktop-file-validate >/dev/null; then
        out=$(desktop-file-validate "$prefix/$desktop" 2>&1) || fault "desktop-file-validate: $out"
    else
        echo "desktop-file-validate not installed: desktop entry not validated"
    fi
    for key in 'Name=' 'Name\[ja\]=' 'Comment=' 'Comment\[ja\]=' 'Categories=' 'StartupWMClass=' "Icon=$app\$" 'Exec=pagewick$'; do
        grep -q "^$key" "$prefix/$desktop" || fault "$desktop has no $key"
    done

    metainfo="share/metainfo/$app.metainfo.xml"
    need_file "$metainfo"
    if command -v appstreamcli >/dev/null; then
        out=$(appstreamcli validate --no-net "$prefix/$metainfo" 2>&1) || fault "appstreamcli validate: $out"
    else
        echo "appstreamcli not installed: metainfo not validated"
    fi
    grep -q '<project_license>GPL-3.0-or-later</project_license>' "$prefix/$metainfo" || fault "metainfo licence"

    need_file "share/icons/hicolor/scalable/apps/$app.svg"
    for size in 16 22 24 32 48 64 128 256; do
        png="share/icons/hicolor/${size}x${size}/apps/$app.png"
        need_file "$png"
        # PNG signature, then the IHDR width and height (big-endian).
        read -r w h < <(python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); assert d[:8]==b"\x89PNG\r\n\x1a\n"; print(*struct.unpack(">II", d[16:24]))' "$prefix/$png" 2>/dev/null || echo "0 0")
        [ "$w" = "$size" ] && [ "$h" = "$size" ] || fault "$png is ${w}x${h}"
    done

    need_file share/pagewick/ad.html
    need_file share/pagewick/help/index.html
    # The web-engine module, in the library folder's pagewick folder.
    [ -n "$(find "$prefix/lib"* -path '*/pagewick/libpagewick_web.so' 2>/dev/null)" ] \
        || fault "libpagewick_web.so is not installed"
fi
need_file share/doc/pagewick/LICENSE

# No installed program or module takes libraries from the working folder, a
# relative folder, the build tree or the folder it stands in.
installed=("$prefix/bin/pagewick-cli")
[ "$gui" = ON ] && installed+=("$prefix/bin/pagewick" $(find "$prefix/lib"* -name 'libpagewick_web.so' 2>/dev/null))
out=$("$(dirname "$0")/check-runpath.sh" --no-origin --forbid "$(cd "$build" && pwd -P)" "${installed[@]}" 2>&1) \
    || fault "library search paths: $out"

for page in "${pages[@]}"; do
    file="share/man/man1/$page.1"
    need_file "$file"
    [ -f "$prefix/$file" ] || continue
    grep -q '@PAGEWICK' "$prefix/$file" && fault "$file has unfilled placeholders"
    rendered=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$prefix/$file" 2>"$prefix/man.err") || fault "man -l $file failed"
    [ -s "$prefix/man.err" ] && fault "man -l $file warns: $(cat "$prefix/man.err")"
    grep -q "^NAME" <<<"$rendered" || fault "man -l $file shows no NAME section"
    grep -q "$version" <<<"$rendered" || fault "man -l $file does not show the version"
done

if [ "$faults" -ne 0 ]; then
    echo "check-install: $faults faults"
    exit 1
fi
echo "check-install: the installed tree is complete (GUI $gui)"

#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks what a desktop reads from
# it: the program and its help where Help > Contents finds it, the menu entry,
# the software centre's description, the icons and the manual page.
#   test_install.sh BUILD_DIR
#   test_install.sh --tree PREFIX   checks a tree installed already (the
#                                   Debian package's usr/, manual page gzipped)
set -u
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
scratch=$(mktemp -d /tmp/larkwatch-install.XXXXXX)
trap 'rm -rf "$scratch"' EXIT

if [ "${1:-}" = --tree ]; then
    prefix=$2
else
    prefix=$scratch/prefix
    if ! cmake --install "$1" --prefix "$prefix" >"$scratch/install.log" 2>&1; then
        cat "$scratch/install.log"
        echo "FAIL: cmake --install"
        exit 1
    fi
fi

app_id=io.github.larkwatch.Larkwatch
desktop=$prefix/share/applications/$app_id.desktop
metainfo=$prefix/share/metainfo/$app_id.metainfo.xml
man_page=$prefix/share/man/man1/larkwatch.1
if [ -f "$man_page.gz" ] && [ ! -e "$man_page" ]; then
    gzip -dc "$man_page.gz" >"$scratch/larkwatch.1"
    man_page=$scratch/larkwatch.1
fi

for file in "$prefix/bin/larkwatch" "$desktop" "$metainfo" "$man_page" \
    "$prefix/share/dbus-1/interfaces/io.github.larkwatch.Larkwatch1.xml"; do
    [ -f "$file" ] || fail "not installed: ${file#"$prefix"/}"
done
[ -x "$prefix/bin/larkwatch" ] || fail "bin/larkwatch is not executable"

# The program looks for its help beside itself, then in ../share/larkwatch/.
[ -f "$prefix/bin/../share/larkwatch/larkwatch-help.html" ] ||
    fail "the help is not in share/larkwatch beside bin"

# The installed program runs, and its version is the one the metainfo and the
# manual page carry.
version=$("$prefix/bin/larkwatch" --version 2>/dev/null | grep -oE '[0-9]+(\.[0-9]+)+' | head -n1)
[ -n "$version" ] || fail "larkwatch --version printed no version"
grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo has no release $version"
grep -q "Larkwatch $version" "$man_page" || fail "the manual page is not of version $version"

# Every option --help lists has its own entry in the manual page.
options=$("$prefix/bin/larkwatch" --help 2>/dev/null | grep -oE -- '--[a-z][a-z-]*' | sort -u)
[ -n "$options" ] || fail "larkwatch --help listed no options"
rendered=$(LC_ALL=C.UTF-8 MANWIDTH=80 groff -man -Tutf8 "$man_page" 2>/dev/null | sed 's/.\x08//g')
for option in $options; do
    grep -qE -- "^ +(-[a-z], )?$option( |\$)" <<<"$rendered" ||
        fail "the manual page has no entry for $option"
done

# The menu entry and the metainfo validate, and name each other and the icon.
if out=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$out" ]; then :; else
    fail "desktop-file-validate: $out"
fi
grep -qx 'Categories=Network;Email;' "$desktop" || fail "desktop file categories"
grep -qx 'StartupNotify=true' "$desktop" || fail "desktop file StartupNotify"
grep -qx 'Exec=larkwatch' "$desktop" || fail "desktop file Exec"
out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli validate: $out"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
    fail "the metainfo does not launch $app_id.desktop"

# The icon the desktop file names is in the hicolor theme at each usual size,
# as a PNG of that size.
icon=$(sed -n 's/^Icon=//p' "$desktop")
for size in 16 22 24 32 48 64 128 256; do
    png=$prefix/share/icons/hicolor/${size}x${size}/apps/$icon.png
    if [ ! -f "$png" ]; then
        fail "no ${size}x${size} icon"
        continue
    fi
    signature=$(od -An -tx1 -N8 "$png" | tr -d ' \n')
    width=$(od -An -tu1 -j16 -N4 "$png" | awk '{print $1*16777216+$2*65536+$3*256+$4}')
    height=$(od -An -tu1 -j20 -N4 "$png" | awk '{print $1*16777216+$2*65536+$3*256+$4}')
    [ "$signature" = 89504e470d0a1a0a ] || fail "${size}x${size} icon is not a PNG"
    [ "$width" = "$size" ] && [ "$height" = "$size" ] ||
        fail "${size}x${size} icon is ${width}x${height}"
done

# The manual page formats without a warning.
if command -v groff >/dev/null; then
    out=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z "$man_page" 2>&1)
    [ -z "$out" ] || fail "groff: $out"
fi
if command -v man >/dev/null; then
    out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$man_page" 2>&1 >/dev/null)
    [ -z "$out" ] || fail "man: $out"
    LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$man_page" 2>/dev/null | grep -q '^NAME' ||
        fail "man -l shows no NAME section"
fi

[ "$failures" -eq 0 ] || exit 1
echo "install tree at $prefix: all checks passed"

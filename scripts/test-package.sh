#!/usr/bin/env bash
# Builds the Debian package from a clean copy of the source, runs lintian on
# it and unpacks it into a scratch root to check that every file lands where a
# desktop looks for it.
#   scripts/test-package.sh [OUT_DIR]   leaves the .deb and the build log in
#                                       OUT_DIR (default build/package)
# The copy holds the files git knows, as they are now (uncommitted changes
# included), so no build folder of the developer's goes in, and the package's
# own build folder never meets build/release. The package is built without its
# tests (nocheck): the test command has run the whole suite already.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${1:-$root/build/package}
jobs=$(nproc 2>/dev/null || echo 2)

version=$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)
project_version=$(sed -n 's/^project(Larkwatch VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
if [ "$version" != "$project_version" ]; then
    echo "FAIL: debian/changelog is at $version, CMakeLists.txt at $project_version" >&2
    exit 1
fi

# The copy stays at one path from run to run, so a compiler cache finds its
# objects again; dpkg-buildpackage writes the package beside it.
mkdir -p "$out"
out=$(cd "$out" && pwd)
source=$out/larkwatch-$version
scratch=$out/root
rm -rf "$source" "$scratch" "$out"/larkwatch_* "$out"/larkwatch-dbgsym_*
trap 'rm -rf "$source" "$scratch"' EXIT
mkdir "$source"
if git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    (cd "$root" &&
        git ls-files -z --cached --others --exclude-standard |
        while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
            tar --null -T - -cf -) | tar -xf - -C "$source"
else
    tar -C "$root" --exclude=./build --exclude='./obj-*' -cf - . | tar -xf - -C "$source"
fi

start=$SECONDS
echo "Building the Debian package (log: $out/build.log)"
if ! (cd "$source" && DEB_BUILD_OPTIONS="nocheck noautodbgsym parallel=$jobs" \
    dpkg-buildpackage -us -uc -b -Pnocheck) >"$out/build.log" 2>&1; then
    tail -n 40 "$out/build.log"
    echo "FAIL: dpkg-buildpackage" >&2
    exit 1
fi
deb=larkwatch_${version}_$(dpkg-architecture -qDEB_HOST_ARCH).deb
[ -f "$out/$deb" ] || {
    echo "FAIL: dpkg-buildpackage made no $deb" >&2
    exit 1
}
echo "Built $out/$deb in $((SECONDS - start)) s"

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# No error and no warning.
lintian --fail-on error,warning "$out/$deb" || fail "lintian"

# Unpacked as apt would install it: the checks of a by-hand install on usr/,
# the copyright file, and nothing outside /usr/bin and /usr/share.
dpkg -x "$out/$deb" "$scratch"
"$root/tests/app/test_install.sh" --tree "$scratch/usr" || fail "the unpacked tree"
[ -f "$scratch/usr/share/doc/larkwatch/copyright" ] || fail "no usr/share/doc/larkwatch/copyright"
stray=$(cd "$scratch" && find . -mindepth 1 -maxdepth 1 ! -name usr)
[ -z "$stray" ] || fail "files outside /usr: $stray"
stray=$(cd "$scratch/usr" && find . -mindepth 1 -maxdepth 1 ! -name bin ! -name share)
[ -z "$stray" ] || fail "files in /usr outside bin and share: $stray"

[ "$failures" -eq 0 ] || exit 1
echo "Debian package $deb: lintian clean, all files in place"

#!/usr/bin/env bash
# Sets up a Debian 12 machine for Larkwatch and then either starts it or runs
# the whole test suite.
#   scripts/setup.sh run    install what is missing, build (Release), start Larkwatch
#   scripts/setup.sh test   install what is missing, build (Debug), run every test;
#                           then the same with AddressSanitizer and UBSan
#                           (build/asan), then each fuzz target for a few
#                           seconds (build/fuzz, clang), then builds the Debian
#                           package and checks it (scripts/test-package.sh)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
mode=${1:-}
jobs=$(nproc 2>/dev/null || echo 2)

build_packages=(g++ make cmake pkg-config qt6-base-dev qt6-multimedia-dev qt6-qpa-plugins
                libgl-dev libgmime-3.0-dev qtkeychain-qt6-dev)
# What the program needs at run time besides the libraries it links: the
# native Wayland platform.
run_packages=(qt6-wayland)
test_packages=(dovecot-core dovecot-pop3d mailutils-pop3d openssl curl clang libclang-rt-14-dev mpop
               desktop-file-utils appstream groff-base man-db dbus-daemon
               gnome-keyring libsecret-1-0 build-essential debhelper dpkg-dev lintian
               weston)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_missing() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    # Keep the packages from starting system services (dovecot) while installing.
    local policy=/usr/sbin/policy-rc.d added_policy=""
    if [ ! -e "$policy" ]; then
        as_root sh -c "printf '#!/bin/sh\nexit 101\n' > $policy && chmod +x $policy"
        added_policy=yes
    fi
    as_root apt-get update -q
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
    [ -n "$added_policy" ] && as_root rm -f "$policy"
    return 0
}

case "$mode" in
run)
    install_missing "${build_packages[@]}" "${run_packages[@]}"
    cmake -S "$root" -B "$root/build/release" -DCMAKE_BUILD_TYPE=Release \
        -DLARKWATCH_BUILD_TESTS=OFF -DLARKWATCH_BUILD_BENCH=OFF
    cmake --build "$root/build/release" -j "$jobs"
    exec "$root/build/release/src/app/larkwatch" "${@:2}"
    ;;
test)
    install_missing "${build_packages[@]}" "${run_packages[@]}" "${test_packages[@]}"
    # Each build runs even when one before it failed; any failure fails the whole.
    failed=()
    suite() {
        local name=$1
        shift
        cmake -S "$root" -B "$root/build/$name" -DCMAKE_BUILD_TYPE=Debug "$@" &&
            cmake --build "$root/build/$name" -j "$jobs" &&
            (cd "$root/build/$name" && ctest --output-on-failure -j "$jobs") ||
            failed+=("$name")
    }
    suite debug
    suite asan -DLARKWATCH_SANITIZE=ON
    suite fuzz -DLARKWATCH_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++
    "$root/scripts/test-package.sh" || failed+=(package)
    if [ ${#failed[@]} -gt 0 ]; then
        echo "FAILED: ${failed[*]}" >&2
        exit 1
    fi
    ;;
*)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac

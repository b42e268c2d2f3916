#!/usr/bin/env bash
# Cross-builds the plain C++ core, the Windows platform layer, the native window
# VeltronaAdmin.exe and the stand-in server with mingw-w64 and runs their test suites under
# Wine, in a fresh 64-bit Wine prefix on a virtual display of its own.
#
#   scripts/windows-tests.sh [BUILD_FOLDER]     (default: build-windows in the repository)
#
# Installs the cross compiler and Wine with apt-get when they are missing (needs root).
# Builds with warnings as errors. Exits non-zero when anything fails; the last line counts
# the test cases of all suites: "N passed, M failed". Environment:
#   WINDOWS_TESTS_JOBS             build jobs (default 2)
#   VELTRONA_LINUX_STANDIN         the Linux stand-in the DICOM tests use (default
#                                  build/bin/ZarvoServer.exe when it is a Linux program;
#                                  without it, Debian's storescp)
#   VELTRONA_MANY_PROCESSES=1100   also run the test with more than 1,024 processes
#                                  (about 6 minutes and 9 GB of memory under Wine)
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$repo/build-windows}
jobs=${WINDOWS_TESTS_JOBS:-2}

log() { printf 'windows-tests: %s\n' "$*" >&2; }

# --- tools -------------------------------------------------------------------------------
needed=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null || needed+=(g++-mingw-w64-x86-64-posix)
command -v x86_64-w64-mingw32-gcc-posix >/dev/null || needed+=(gcc-mingw-w64-x86-64-posix)
command -v x86_64-w64-mingw32-windres >/dev/null || needed+=(binutils-mingw-w64-x86-64)
command -v wine >/dev/null || needed+=(wine)
[ -x /usr/lib/wine/wine64 ] || needed+=(wine64)
command -v Xvfb >/dev/null || needed+=(xvfb)
command -v openbox >/dev/null || needed+=(openbox)
[ -f /usr/share/wine/fonts/sserife.fon ] || needed+=(fonts-wine)
command -v cmake >/dev/null || needed+=(cmake)
command -v ninja >/dev/null || needed+=(ninja-build)
[ -f /usr/src/googletest/CMakeLists.txt ] || needed+=(googletest)
if [ ${#needed[@]} -gt 0 ]; then
    log "installing ${needed[*]}"
    if [ "$(id -u)" -ne 0 ]; then
        log "not root: install ${needed[*]} first"
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${needed[@]}"
fi

# --- display --------------------------------------------------------------------------
# The window suites open real windows: a virtual X server of this run's own, with a small
# window manager (without one, Wine waits up to a second for every window it shows or
# hides). Their output goes nowhere, so that they hold no pipe of ctest open.
xvfb_pid= openbox_pid= prefix=
cleanup() {
    if [ -n "$prefix" ]; then
        # Ends this prefix's wine server and with it every process of the prefix.
        wineserver -k >/dev/null 2>&1 || true
        rm -rf "$prefix"
    fi
    [ -z "$openbox_pid" ] || kill "$openbox_pid" 2>/dev/null || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 </dev/null &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$display_file" ] && break
    sleep 0.1
done
if [ ! -s "$display_file" ]; then
    log "the virtual display did not start"
    exit 1
fi
export DISPLAY=:$(head -n1 "$display_file")
rm -f "$display_file"
openbox --sm-disable >/dev/null 2>&1 </dev/null &
openbox_pid=$!

# --- Wine prefix ----------------------------------------------------------------------
# A fresh prefix per run: nothing from another run or another user leaks in.
prefix=$(mktemp -d "${TMPDIR:-/tmp}/veltrona-wine.XXXXXX")
export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" # no Mono or Gecko installer prompts

log "creating Wine prefix $prefix"
# The server and the prefix's services are started with their output sent nowhere: they
# outlive each program and would otherwise hold the pipes of ctest open.
# The server stays up until cleanup, so the services are started once, here.
wineserver -p >/dev/null 2>&1 </dev/null
wine wineboot -i >/dev/null 2>&1 </dev/null
# The window font, 8-point MS Sans Serif, with its real metrics (average character width
# 6, height 13): Debian's Wine does not look in its own font folder, so the bitmap fonts
# go into the prefix's.
cp /usr/share/wine/fonts/sserife*.fon "$prefix/drive_c/windows/Fonts/"

# --- build ----------------------------------------------------------------------------
# DCMTK for Windows, built once per machine into a cache outside the clone (about 10
# minutes the first time, nothing afterwards).
dcmtk=$(bash "$repo/scripts/windows-dcmtk.sh")
log "configuring $build"
cmake -S "$repo" -B "$build" -G Ninja \
    -DDCMTK_DIR="$dcmtk/cmake" \
    -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-mingw64.cmake" \
    -DVELTRONA_BUILD_GUI=OFF \
    -DVELTRONA_BUILD_TESTS=ON \
    -DVELTRONA_WERROR=ON >/dev/null
log "building with -j$jobs"
cmake --build "$build" -j"$jobs"

# --- tests ----------------------------------------------------------------------------
# Each ctest entry is a whole suite; the entries record their suites' own counts of cases,
# and the last line adds them up: "N passed, M failed".
# The Linux side of the DICOM tests: the Linux stand-in of the native build, where there is one.
linux_standin=${VELTRONA_LINUX_STANDIN:-$repo/build/bin/ZarvoServer.exe}
if [ -x "$linux_standin" ] && [ "$(head -c 4 "$linux_standin" | od -An -c | tr -d ' ')" = '177ELF' ]; then
    export VELTRONA_LINUX_STANDIN=$linux_standin
else
    unset VELTRONA_LINUX_STANDIN
fi
log "running the test suites under Wine"
counts=$(mktemp)
status=0
VELTRONA_CASE_COUNTS=$counts ctest --test-dir "$build" --output-on-failure --timeout 600 \
    --no-tests=error || status=$?
entries=$(wc -l <"$counts")
read -r passed failed skipped < <(awk '{ p += $2; f += $3; s += $4 } END { print p + 0, f + 0, s + 0 }' "$counts")
rm -f "$counts"
log "$entries suites: $passed cases passed, $failed failed, $skipped skipped"
# A suite that ctest could not start at all recorded nothing: it counts as one failure.
if [ $status -ne 0 ] && [ "$failed" -eq 0 ]; then
    failed=1
fi
echo "$passed passed, $failed failed"
exit $status

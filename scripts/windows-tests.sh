#!/usr/bin/env bash
# Cross-builds the plain C++ core, the Windows platform layer and the stand-in server
# with mingw-w64 and runs their test suites under Wine, in a fresh 64-bit Wine prefix.
#
#   scripts/windows-tests.sh [BUILD_FOLDER]     (default: build-windows in the repository)
#
# Installs the cross compiler and Wine with apt-get when they are missing (needs root).
# Exits non-zero when anything fails. Environment:
#   WINDOWS_TESTS_JOBS             build jobs (default 2)
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

# --- Wine prefix ----------------------------------------------------------------------
# A fresh prefix per run: nothing from another run or another user leaks in. No display
# is needed; Wine's console programs run without one.
prefix=$(mktemp -d "${TMPDIR:-/tmp}/veltrona-wine.XXXXXX")
export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all DISPLAY=
export WINEDLLOVERRIDES="mscoree,mshtml=" # no Mono or Gecko installer prompts

cleanup() {
    # Ends this prefix's wine server and with it every process of the prefix.
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$prefix"
}
trap cleanup EXIT

log "creating Wine prefix $prefix"
# The server and the prefix's services are started with their output sent nowhere: they
# outlive each program and would otherwise hold the pipes of ctest open.
# The server stays up until cleanup, so the services are started once, here.
wineserver -p >/dev/null 2>&1 </dev/null
wine wineboot -i >/dev/null 2>&1 </dev/null

# --- build ----------------------------------------------------------------------------
log "configuring $build"
cmake -S "$repo" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-mingw64.cmake" \
    -DVELTRONA_BUILD_GUI=OFF \
    -DVELTRONA_BUILD_TESTS=ON >/dev/null
log "building with -j$jobs"
cmake --build "$build" -j"$jobs"

# --- tests ----------------------------------------------------------------------------
log "running the test suites under Wine"
ctest --test-dir "$build" --output-on-failure --timeout 600 --no-tests=error

#!/usr/bin/env bash
# Cross-builds the Windows programs with mingw-w64 (Release) and makes the two Windows
# packages with CPack:
#   veltrona-administration-<version>-win64.exe   64-bit installer (NSIS)
#   veltrona-administration-<version>-win64.zip   the program folder to unpack
#
#   bash scripts/windows-packages.sh [BUILD_FOLDER]   (default: build-windows-release)
#
# Installs the cross compiler and NSIS with apt-get when they are missing (needs root).
# The programs carry the time of the last commit instead of the build time, so two runs on
# the same commit give the same programs.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$repo/build-windows-release}
source "$repo/scripts/packages.sh"
ensure_packages cmake ninja-build nsis g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix \
    binutils-mingw-w64-x86-64 wine wine64

# DCMTK for Windows, built once per machine (see scripts/windows-dcmtk.sh).
dcmtk=$(bash "$repo/scripts/windows-dcmtk.sh")
cmake -S "$repo" -B "$build" -G Ninja \
    -DDCMTK_DIR="$dcmtk/cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-mingw64.cmake" \
    -DVELTRONA_BUILD_GUI=OFF \
    -DVELTRONA_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2

export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$repo" log -1 --format=%ct 2>/dev/null || echo 1)}
rm -f "$build"/veltrona-administration-*-win64.{exe,zip}
(cd "$build" && cpack -G NSIS >/dev/null && cpack -G ZIP >/dev/null)
ls -l "$build"/veltrona-administration-*-win64.{exe,zip}

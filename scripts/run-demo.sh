#!/usr/bin/env bash
# Installs what the tool needs, builds it, lays out a demo program folder and opens the
# tool on it. The demo folder is build-demo/demo/Veltrona/: the tool, the stand-in server and
# a settings file, as an administrator would have them. The demo has a build folder of its
# own, so that its options (no tests, an optimised build) never leak into the test command's.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

ensure_packages $VELTRONA_BUILD_PACKAGES

build=build-demo
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTRONA_BUILD_GUI=ON \
    -DVELTRONA_BUILD_TESTS=OFF -DVELTRONA_BUILD_BENCHMARKS=OFF -DVELTRONA_BUILD_FUZZERS=OFF >/dev/null
cmake --build "$build" -j2 --target VeltronaAdmin VeltronaCtl ZarvoServer

demo=$build/demo/Veltrona
mkdir -p "$demo"
cp "$build/bin/VeltronaAdmin" "$build/bin/VeltronaCtl" "$build/bin/ZarvoServer.exe" "$demo/"
if [ ! -e "$demo/Server.INI" ]; then
    cp scripts/demo/Server.INI "$demo/Server.INI"
fi
# A small test image to send to the server once it runs (see the README).
dump2dcm +Ug +te scripts/demo/sample.dump "$build/demo/sample.dcm"
echo "Demo program folder: $(realpath "$demo")"
echo "Test image to send: $(realpath "$build/demo/sample.dcm")"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    cat >&2 <<MSG
No display: the tool opens a window and needs an X or Wayland display.
Run this on a desktop session, or start a virtual one first, for example:
    apt-get install -y xvfb && xvfb-run -a -s "-screen 0 1024x768x24" bash scripts/run-demo.sh
The tool itself is built and laid out in $(realpath "$demo").
MSG
    exit 2
fi
cd "$demo"
exec ./VeltronaAdmin

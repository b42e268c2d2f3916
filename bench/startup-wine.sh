#!/usr/bin/env bash
# Start-up of the Windows window under Wine beside the Linux window: time from launch until
# the main window is mapped and viewable, for VeltronaAdmin.exe in one warm 64-bit Wine
# prefix and for the Linux VeltronaAdmin (Qt on xcb), alternating, under the same private
# Xvfb with openbox, each from an empty program folder. Also prints the sizes of
# VeltronaAdmin.exe and of the Windows packages when the build folder holds them.
#   bash bench/startup-wine.sh WINDOWS_BUILD [LINUX_BUILD] [RUNS]
#     (defaults: build-windows, the newest build*/bin/VeltronaAdmin of the repository, 7)
# Prints per-program median, minimum and maximum. It measures; it judges nothing. "Warm":
# the prefix's wineserver and services stay up between the runs, as a booted Windows keeps
# its own, and one unmeasured start per program fills the page and font caches first.
# How a start is measured, and how late a figure can be, is said in startup-lib.sh.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source "$here/../tests/acceptance/lib.sh"
source "$here/../tests/acceptance/windows/wine.sh"
source "$here/startup-lib.sh"
windows_build=$(accept_build_folder "${1:-build-windows}")
linux_build=${2:-}
runs=${3:-7}

exe="$windows_build/bin/VeltronaAdmin.exe"
[ -f "$exe" ] || {
    echo "startup-wine: $exe is missing; build first" >&2
    exit 1
}
if [ -z "$linux_build" ]; then
    linux_program=$(ls -t "$ACCEPT_REPO"/build*/bin/VeltronaAdmin 2>/dev/null | head -n 1)
else
    linux_program="$(accept_build_folder "$linux_build")/bin/VeltronaAdmin"
fi
[ -x "$linux_program" ] || {
    echo "startup-wine: no Linux VeltronaAdmin (${linux_program:-none found}); only the Wine figure" >&2
    linux_program=""
}
accept_install_packages || exit 1

accept_work_folder veltrona-startup-wine
accept_start_x "$work" || exit 1
wine_new_prefix "$work/prefix" || exit 1
wineserver -p >/dev/null 2>&1 </dev/null # stays up until the end of the run
accept_use_xcb

windows_folder=$(wine_unix_path 'C:\veltrona')
mkdir -p "$windows_folder" "$work/linux"
cp "$exe" "$windows_build/bin/ZarvoServer.exe" "$windows_folder/"
[ -n "$linux_program" ] && cp "$linux_program" "$(dirname "$linux_program")/ZarvoServer.exe" "$work/linux/"

wine_start=(wine 'C:\veltrona\VeltronaAdmin.exe')
linux_start=("$work/linux/VeltronaAdmin")
echo "start-up on $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg); $(wine --version)"
echo "Windows: $exe"
[ -n "$linux_program" ] && echo "Linux:   $linux_program"
measure_once "$windows_folder" "${wine_start[@]}" >/dev/null # warm-up
[ -n "$linux_program" ] && measure_once "$work/linux" "${linux_start[@]}" >/dev/null
for ((i = 0; i < runs; i++)); do
    measure_once "$windows_folder" "${wine_start[@]}" >>"$work/wine.results" ||
        echo "startup-wine: run $i under Wine: no window" >&2
    if [ -n "$linux_program" ]; then
        measure_once "$work/linux" "${linux_start[@]}" >>"$work/linux.results" ||
            echo "startup-wine: run $i on Linux: no window" >&2
    fi
done
report "VeltronaAdmin.exe (Wine)" "$work/wine.results"
[ -n "$linux_program" ] && report "VeltronaAdmin (Linux, Qt)" "$work/linux.results"

# Sizes: the program as built, stripped as the packages ship it, and the packages.
stripped="$work/VeltronaAdmin.stripped.exe"
x86_64-w64-mingw32-strip -o "$stripped" "$exe"
echo "size: VeltronaAdmin.exe $(stat -c %s "$exe") bytes as built, $(stat -c %s "$stripped") stripped"
for package in "$windows_build"/veltrona-administration-*-win64.exe "$windows_build"/veltrona-administration-*-win64.zip; do
    [ -f "$package" ] && echo "size: $(basename "$package") $(stat -c %s "$package") bytes"
done

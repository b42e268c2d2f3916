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
# The window is looked for every ~10 ms by a fresh xdotool, so a figure can be late by up
# to one look; the CPU time of the tool's own process until then is printed beside it.
set -uo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
windows_build=${1:-build-windows}
[[ $windows_build == /* ]] || windows_build="$repo/$windows_build"
linux_build=${2:-}
runs=${3:-7}
title="Zarvo Server Einstellungen"
source "$repo/tests/acceptance/lib.sh"
source "$repo/tests/acceptance/windows/wine.sh"

exe="$windows_build/bin/VeltronaAdmin.exe"
[ -f "$exe" ] || {
    echo "startup-wine: $exe is missing; build first" >&2
    exit 1
}
if [ -z "$linux_build" ]; then
    linux_program=$(ls -t "$repo"/build*/bin/VeltronaAdmin 2>/dev/null | head -n 1)
else
    [[ $linux_build == /* ]] || linux_build="$repo/$linux_build"
    linux_program="$linux_build/bin/VeltronaAdmin"
fi
[ -x "$linux_program" ] || {
    echo "startup-wine: no Linux VeltronaAdmin (${linux_program:-none found}); only the Wine figure" >&2
    linux_program=""
}
accept_install_packages || exit 1

work=$(mktemp -d /tmp/veltrona-startup-wine.XXXXXX)
trap '[ -n "${WINEPREFIX:-}" ] && wine_kill_all; accept_cleanup; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
accept_start_x "$work" || exit 1
wine_new_prefix "$work/prefix" || exit 1
wineserver -p >/dev/null 2>&1 </dev/null # stays up until the end of the run
export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/runtime"
unset WAYLAND_DISPLAY
mkdir -m 700 "$XDG_RUNTIME_DIR"

windows_folder=$(wine_unix_path 'C:\veltrona')
mkdir -p "$windows_folder" "$work/linux"
cp "$exe" "$windows_build/bin/ZarvoServer.exe" "$windows_folder/"
[ -n "$linux_program" ] && cp "$linux_program" "$(dirname "$linux_program")/ZarvoServer.exe" "$work/linux/"

# measure_once FOLDER COMMAND...: one start from FOLDER; prints "MILLISECONDS CPU_MS KIB" or
# nothing when the window never came.
measure_once() {
    local folder=$1
    shift
    rm -f "$folder"/[Ss]erver.[Ii][Nn][Ii]
    local start end id
    start=${EPOCHREALTIME/[.,]/} # microseconds, read without starting a process
    (cd "$folder" && exec "$@") >/dev/null 2>&1 </dev/null &
    TOOL_PID=$!
    ACCEPT_PIDS+=("$TOOL_PID")
    local deadline=$((SECONDS + 60))
    id=""
    while [ -z "$id" ] && [ $SECONDS -lt $deadline ]; do
        id=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n 1)
        [ -n "$id" ] || sleep 0.01
    done
    end=${EPOCHREALTIME/[.,]/}
    [ -n "$id" ] || return 1
    local cpu hwm
    cpu=$(awk -v hz="$(getconf CLK_TCK)" '{print int(($14 + $15) * 1000 / hz)}' "/proc/$TOOL_PID/stat")
    sleep 0.5 # the first paint and the first status-log tick settle before the peak is read
    hwm=$(awk '/^VmHWM/ {print $2}' "/proc/$TOOL_PID/status")
    request_close "$id"
    wait_tool_exit 30 || kill -KILL "$TOOL_PID"
    echo "$(((end - start) / 1000)) $cpu $hwm"
}

stats() { sort -n | awk '{v[NR] = $1} END {m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; print m, v[1], v[NR]}'; }

report() {
    local name=$1 results=$2 mapped cpu rss
    [ -s "$results" ] || {
        echo "$name: no run showed the window"
        return
    }
    mapped=$(cut -d' ' -f1 "$results" | stats)
    cpu=$(cut -d' ' -f2 "$results" | stats)
    rss=$(cut -d' ' -f3 "$results" | stats)
    awk -v name="$name" -v n="$(wc -l <"$results")" -v m="$mapped" -v c="$cpu" -v r="$rss" 'BEGIN {
        split(m, t, " "); split(c, u, " "); split(r, k, " ")
        printf "%-26s %2d runs  mapped: median %d ms (min %d, max %d)  CPU until mapped: median %d ms  peak RSS: median %.1f MiB\n",
            name, n, t[1], t[2], t[3], u[1], k[1] / 1024
    }'
    echo "  each run, ms: $(cut -d' ' -f1 "$results" | tr '\n' ' ')"
}

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

#!/usr/bin/env bash
# Start-up cost of the real window: time from launch until the main window is mapped and
# viewable, and the peak resident memory (VmHWM) with the window open, under a private Xvfb
# with openbox. Two cases: an empty program folder, and a translation file of ~20,000 lines
# above it.
#   bash bench/startup.sh [BUILD_DIR] [RUNS]     (defaults: build, 10)
# Prints per-case median, minimum and maximum. It measures; it judges nothing. The window is
# looked for every ~10 ms by a fresh xdotool (~20-25 ms each here), so a figure can be late by
# up to one look; the tool's own CPU time until then is printed beside it, since on a shared
# machine the wall time mostly measures the other processes.
set -uo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
[[ $build == /* ]] || build="$repo/$build"
runs=${2:-10}
title="Zarvo Server Einstellungen"
source "$repo/tests/acceptance/lib.sh"

[ -x "$build/bin/VeltronaAdmin" ] || {
    echo "startup: $build/bin/VeltronaAdmin is missing; build first" >&2
    exit 1
}
accept_install_packages || exit 1

work=$(mktemp -d /tmp/veltrona-startup.XXXXXX)
trap 'accept_cleanup; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
accept_start_x "$work" || exit 1
export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/runtime"
unset WAYLAND_DISPLAY
mkdir -m 700 "$XDG_RUNTIME_DIR"

# Translation file: 15,000 lines of other windows' sections, 5,000 keys of components the
# window does not have in its own section, then the keys that do take effect.
large_translation() {
    awk 'BEGIN {
        for (s = 0; s < 1500; s++) {
            printf "[OtherForm%d]\n", s
            for (k = 0; k < 9; k++) printf "OtherForm%d.Label%d.Caption=Beschriftung %d/%d\n", s, k, s, k
        }
        print "[ServerAdminForm]"
        for (k = 0; k < 5000; k++) printf "ServerAdminForm.Missing%d.Caption=Nicht vorhanden %d\n", k, k
        print "ServerAdminForm.Button1.Caption=Stop Zarvo Server"
        print "ServerAdminForm.Button2.Caption=Start Zarvo Server"
        for (i = 0; i < 9; i++) printf "ServerAdminForm.ServerMessage.lines[%d]=fsdef\n", i
    }'
}

# One start: prints "MILLISECONDS KIB" or nothing when the window never came.
measure_once() {
    local program=$1
    rm -f "$program"/[Ss]erver.[Ii][Nn][Ii]
    local start end id hwm
    start=${EPOCHREALTIME/[.,]/} # microseconds, read without starting a process
    "$program/VeltronaAdmin" >/dev/null 2>&1 &
    TOOL_PID=$!
    ACCEPT_PIDS+=("$TOOL_PID")
    local deadline=$((SECONDS + 30))
    id=""
    while [ -z "$id" ] && [ $SECONDS -lt $deadline ]; do
        id=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n 1)
        [ -n "$id" ] || sleep 0.01
    done
    end=${EPOCHREALTIME/[.,]/}
    [ -n "$id" ] || return 1
    # CPU time the tool itself spent until then: what the load of other processes leaves out.
    local cpu
    cpu=$(awk -v hz="$(getconf CLK_TCK)" '{print int(($14 + $15) * 1000 / hz)}' "/proc/$TOOL_PID/stat")
    sleep 0.5 # the first paint and the first status-log tick settle before the peak is read
    hwm=$(awk '/^VmHWM/ {print $2}' "/proc/$TOOL_PID/status")
    request_close "$id"
    wait_tool_exit 30 || kill -KILL "$TOOL_PID"
    echo "$(((end - start) / 1000)) $hwm $cpu"
}

# Sorted column statistics: "median min max".
stats() { sort -n | awk '{v[NR] = $1} END {m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; print m, v[1], v[NR]}'; }

run_case() {
    local name=$1 root="$work/$1"
    mkdir -p "$root/program"
    cp "$build/bin/VeltronaAdmin" "$build/bin/ZarvoServer.exe" "$root/program/"
    [ "$name" = large-translation ] && large_translation >"$root/Custom.ini"
    measure_once "$root/program" >/dev/null # warm-up: page cache, font cache
    local results="$root/results" i
    for ((i = 0; i < runs; i++)); do
        measure_once "$root/program" >>"$results" || echo "startup: run $i of $name: no window" >&2
    done
    local mapped rss cpu
    mapped=$(cut -d' ' -f1 "$results" | stats)
    rss=$(cut -d' ' -f2 "$results" | stats)
    cpu=$(cut -d' ' -f3 "$results" | stats)
    awk -v name="$name" -v n="$(wc -l <"$results")" -v m="$mapped" -v r="$rss" -v c="$cpu" 'BEGIN {
        split(m, t, " "); split(r, k, " "); split(c, u, " ")
        printf "%-18s %2d runs  mapped: median %d ms (min %d, max %d)  CPU until mapped: median %d ms  peak RSS: median %.1f MiB (max %.1f)\n",
            name, n, t[1], t[2], t[3], u[1], k[1] / 1024, k[3] / 1024
    }'
}

echo "startup of $build/bin/VeltronaAdmin on $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
run_case empty-folder
run_case large-translation
echo "translation file: $(large_translation | wc -l) lines"

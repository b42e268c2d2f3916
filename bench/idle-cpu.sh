#!/usr/bin/env bash
# CPU share of the idle administration tool while its once-a-second poll runs.
#
# Usage: bench/idle-cpu.sh [VeltronaAdmin binary] [seconds]
#   defaults: build/bin/VeltronaAdmin, 20 seconds
#
# The tool is copied into an empty temporary program folder (no settings, no server,
# no translation file) and started on Qt's offscreen platform, or on the X display in
# $DISPLAY when VELTRONA_IDLE_USE_DISPLAY=1 (e.g. under xvfb-run). After a short settling
# time its utime+stime from /proc/PID/stat is sampled over the interval; the run time
# summed from the threads' schedstat gives a finer second figure.
set -euo pipefail

binary=${1:-build/bin/VeltronaAdmin}
seconds=${2:-20}
settle=3

if [ ! -x "$binary" ]; then
    echo "idle-cpu: no executable at $binary (build the VeltronaAdmin target first)" >&2
    exit 2
fi

work=$(mktemp -d)
pid=
cleanup() {
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

mkdir "$work/program"
cp "$binary" "$work/program/VeltronaAdmin"

if [ "${VELTRONA_IDLE_USE_DISPLAY:-0}" != 1 ]; then
    export QT_QPA_PLATFORM=offscreen
fi
(cd "$work/program" && exec ./VeltronaAdmin) >"$work/out.log" 2>&1 &
pid=$!

# Fields 14 and 15 of /proc/PID/stat, counted after the ")" that closes the command name.
cpu_ticks() {
    local stat
    stat=$(<"/proc/$pid/stat")
    stat=${stat##*) }
    # shellcheck disable=SC2086
    set -- $stat
    echo $((${12} + ${13}))
}

# Nanoseconds on the CPU, all threads.
run_ns() {
    local total=0 ns rest
    for task in /proc/"$pid"/task/*/schedstat; do
        read -r ns rest <"$task" 2>/dev/null || continue
        total=$((total + ns))
    done
    echo "$total"
}

sleep "$settle"
if ! kill -0 "$pid" 2>/dev/null; then
    echo "idle-cpu: the tool ended during start-up; its output:" >&2
    cat "$work/out.log" >&2
    exit 1
fi

ticks0=$(cpu_ticks)
ns0=$(run_ns)
start=$(date +%s%N)
sleep "$seconds"
ticks1=$(cpu_ticks)
ns1=$(run_ns)
end=$(date +%s%N)

hz=$(getconf CLK_TCK)
elapsed_ns=$((end - start))
awk -v t=$((ticks1 - ticks0)) -v hz="$hz" -v ns=$((ns1 - ns0)) -v el="$elapsed_ns" 'BEGIN {
    printf "idle CPU over %.1f s: %.3f %% of one core (utime+stime, %d ticks at %d Hz)\n",
           el / 1e9, 100 * (t / hz) / (el / 1e9), t, hz
    printf "idle CPU over %.1f s: %.3f %% of one core (schedstat run time, all threads)\n",
           el / 1e9, 100 * ns / el
}'

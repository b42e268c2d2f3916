#!/usr/bin/env bash
# Cost of one whole `VeltronaCtl status` run, from process start to exit, against one run
# of `pgrep -x ZarvoServer.exe`, with EXTRA idle processes (sleep children) on the machine.
#
#   bash bench/ctl-status.sh [VeltronaCtl] [RUNS] [EXTRA]
#     defaults: build/bin/VeltronaCtl, 50, 1000
#
# VeltronaCtl is copied into an empty temporary program folder whose Server.INI names a
# port nothing listens on, so a run lists the processes, finds no server and checks the
# port. The two commands run alternately, RUNS times each. Per run: wall time from bash's
# EPOCHREALTIME around it (microseconds), CPU time (the child's user + system time) from
# bash's `time` keyword (milliseconds). Prints the medians and the ratios against the
# target: VeltronaCtl at most a quarter of pgrep, by wall time and by CPU time.
# With CTL_BENCH_SERVER=1 a second round runs with the stand-in server started from the
# folder and listening on that port (the port check then looks into the server's
# descriptors); the stand-in must lie beside VeltronaCtl. Other ZarvoServer.exe processes
# on the machine are left alone, but see this one while it runs.
set -uo pipefail

ctl=${1:-build/bin/VeltronaCtl}
runs=${2:-50}
extra=${3:-1000}
pgrep=$(command -v pgrep) || {
    echo "ctl-status: pgrep is missing (package procps)" >&2
    exit 2
}
[ -x "$ctl" ] || {
    echo "ctl-status: no executable at $ctl (build the VeltronaCtl target first)" >&2
    exit 2
}

work=$(mktemp -d /tmp/veltrona-ctl-status.XXXXXX)
sleepers=()
server=
cleanup() {
    [ ${#sleepers[@]} -eq 0 ] || kill "${sleepers[@]}" 2>/dev/null
    [ -z "$server" ] || kill -9 "$server" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mkdir "$work/program"
cp "$ctl" "$work/program/VeltronaCtl"
cp "$(dirname "$ctl")/ZarvoServer.exe" "$work/program/" 2>/dev/null
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("", 0)); print(s.getsockname()[1])' 2>/dev/null ||
    echo 47311)
printf -- '-aet = BENCH\r\nPort = %s\r\n-od = %s/\r\n' "$port" "$work" >"$work/program/Server.INI"
program=$work/program/VeltronaCtl

for ((i = 0; i < extra; i++)); do
    sleep 3600 &
    sleepers+=($!)
done
processes=$(ls -d /proc/[0-9]* | wc -l)

TIMEFORMAT='%3U %3S'
# One run of "$@": appends "WALL_US CPU_MS" to the file named by $out.
measure() {
    local start end user system
    start=${EPOCHREALTIME/[.,]/}
    { time "$@" >/dev/null 2>&1; } 2>"$work/time"
    end=${EPOCHREALTIME/[.,]/}
    read -r user system <"$work/time"
    echo "$((end - start)) $(awk -v u="$user" -v s="$system" 'BEGIN { printf "%.3f", (u + s) * 1000 }')" >>"$out"
}

median() { # column $2 of file $1
    sort -n -k"$2" "$1" | awk -v c="$2" '{ v[NR] = $c } END { printf "%.3f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

round() {
    local name=$1
    : >"$work/ctl.txt"
    : >"$work/pgrep.txt"
    "$program" status >/dev/null 2>&1 # warm the caches once
    "$pgrep" -x ZarvoServer.exe >/dev/null
    for ((i = 0; i < runs; i++)); do
        out=$work/ctl.txt measure "$program" status
        out=$work/pgrep.txt measure "$pgrep" -x ZarvoServer.exe
    done
    local ctlWall ctlCpu pgrepWall pgrepCpu
    ctlWall=$(median "$work/ctl.txt" 1)
    ctlCpu=$(median "$work/ctl.txt" 2)
    pgrepWall=$(median "$work/pgrep.txt" 1)
    pgrepCpu=$(median "$work/pgrep.txt" 2)
    awk -v n="$name" -v cw="$ctlWall" -v cc="$ctlCpu" -v pw="$pgrepWall" -v pc="$pgrepCpu" 'BEGIN {
        printf "%s:\n", n
        printf "  VeltronaCtl status   wall %7.2f ms   CPU %6.1f ms\n", cw / 1000, cc
        printf "  pgrep -x             wall %7.2f ms   CPU %6.1f ms\n", pw / 1000, pc
        printf "  VeltronaCtl / pgrep  wall %7.3f      CPU %6.3f     (target <= 0.25: %s)\n",
            cw / pw, cc / pc, (cw / pw <= 0.25 && cc / pc <= 0.25) ? "met" : "NOT met"
    }'
}

echo "ctl-status: $runs runs each, $processes processes on the machine ($extra idle extra), load $(cut -d' ' -f1-3 /proc/loadavg)"
round "no server started, nothing listens on the port"
if [ "${CTL_BENCH_SERVER:-0}" = 1 ] && [ -x "$work/program/ZarvoServer.exe" ]; then
    (cd "$work" && exec "$work/program/ZarvoServer.exe" -dw -od "$work" -aet BENCH "$port" >/dev/null 2>&1) &
    server=$!
    disown "$server" # ended by cleanup, without the shell reporting it
    for ((i = 0; i < 100; i++)); do
        "$program" status 2>/dev/null | grep -q "The server listens" && break
        sleep 0.1
    done
    round "the server running and listening on its port"
fi

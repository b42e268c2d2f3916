#!/usr/bin/env bash
# Cost of one whole `VeltronaCtl check` run against a serving stand-in, from process start
# to exit, against the shell check administrators write without it:
#   pgrep -x ZarvoServer.exe && echoscu -aec AET 127.0.0.1 PORT && df -P FOLDER
#
#   bash bench/ctl-check.sh [VeltronaCtl] [RUNS]
#     defaults: build/bin/VeltronaCtl, 50
#
# VeltronaCtl and the stand-in beside it are copied into a temporary program folder whose
# Server.INI names a free port, an AE title and an image folder (FIFOMax 0, as in the
# shell check, which does not measure the folder either). The stand-in is started from
# there and the two checks run alternately, RUNS times each, so load from other users of
# the machine falls on both alike. The shell check runs as one `bash -c`, as a monitoring
# system would run it. Per run: wall time from bash's EPOCHREALTIME around it. Prints the
# medians and the ratio against the target: the check at most a quarter of the shell's.
set -uo pipefail

ctl=${1:-build/bin/VeltronaCtl}
runs=${2:-50}
for tool in pgrep echoscu df; do
    command -v "$tool" >/dev/null || {
        echo "ctl-check: $tool is missing (echoscu: package dcmtk, pgrep: procps)" >&2
        exit 2
    }
done
[ -x "$ctl" ] && [ -x "$(dirname "$ctl")/ZarvoServer.exe" ] || {
    echo "ctl-check: no VeltronaCtl with ZarvoServer.exe beside it at $ctl" >&2
    exit 2
}
if pgrep -x ZarvoServer.exe >/dev/null; then
    echo "ctl-check: another ZarvoServer.exe runs; both checks would see it" >&2
    exit 2
fi

work=$(mktemp -d /tmp/veltrona-ctl-check.XXXXXX)
server=
cleanup() {
    [ -z "$server" ] || kill -9 "$server" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mkdir "$work/program" "$work/images"
cp "$ctl" "$(dirname "$ctl")/ZarvoServer.exe" "$work/program/"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("", 0)); print(s.getsockname()[1])' 2>/dev/null ||
    echo 47312)
printf -- '-aet = BENCH\r\nPort = %s\r\n-od = %s/\r\n' "$port" "$work/images" >"$work/program/Server.INI"
program=$work/program/VeltronaCtl
# The image folder lies on this machine's disk, which may be nearly full: no free-space
# limits, so that a serving stand-in is OK whatever the disk holds.
check_command=(check --disk-warn 0 --disk-crit 0)
(cd "$work" && exec "$work/program/ZarvoServer.exe" -dw -od "$work/images" -aet BENCH "$port" >/dev/null 2>&1) &
server=$!
disown "$server"
for ((i = 0; i < 100; i++)); do
    "$program" "${check_command[@]}" >/dev/null 2>&1 && break
    sleep 0.1
done
"$program" "${check_command[@]}" || {
    echo "ctl-check: the stand-in does not serve" >&2
    exit 1
}
shell="pgrep -x ZarvoServer.exe && echoscu -aec BENCH 127.0.0.1 $port && df -P $work/images"
bash -c "$shell" >/dev/null 2>&1 || {
    echo "ctl-check: the shell check fails: $shell" >&2
    exit 1
}

# One run of "$@": appends its wall time in microseconds to the file named by $out.
measure() {
    local start end
    start=${EPOCHREALTIME/[.,]/}
    "$@" >/dev/null 2>&1
    end=${EPOCHREALTIME/[.,]/}
    echo "$((end - start))" >>"$out"
}
median() {
    sort -n "$1" | awk '{ v[NR] = $1 } END { printf "%.3f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

: >"$work/check.txt"
: >"$work/shell.txt"
for ((i = 0; i < runs; i++)); do
    out=$work/check.txt measure "$program" "${check_command[@]}"
    out=$work/shell.txt measure bash -c "$shell"
done
check=$(median "$work/check.txt")
sh=$(median "$work/shell.txt")
echo "ctl-check: $runs runs each, $(ls -d /proc/[0-9]* | wc -l) processes, load $(cut -d' ' -f1-3 /proc/loadavg)"
awk -v c="$check" -v s="$sh" 'BEGIN {
    printf "  VeltronaCtl check          wall %7.2f ms\n", c / 1000
    printf "  pgrep && echoscu && df     wall %7.2f ms\n", s / 1000
    printf "  check / shell              %.3f   (target <= 0.25: %s)\n", c / s, c / s <= 0.25 ? "met" : "NOT met"
}'

# Measuring one start of the administration window, for startup.sh and startup-wine.sh.
# Source tests/acceptance/lib.sh first; the X server must be running (accept_start_x).
# The window is looked for every ~10 ms by a fresh xdotool (~20-25 ms each here), so a
# figure can be late by up to one look; the CPU time of the tool's own process until then is
# measured beside it, since on a shared machine the wall time mostly measures the others.

startup_title="Zarvo Server Einstellungen"

# measure_once FOLDER COMMAND...: one start of COMMAND from FOLDER, whose settings file is
# removed first; prints "MILLISECONDS CPU_MS PEAK_KIB" or nothing when no window came.
measure_once() {
    local folder=$1
    shift
    rm -f "$folder"/[Ss]erver.[Ii][Nn][Ii]
    local start end id
    start=${EPOCHREALTIME/[.,]/} # microseconds, read without starting a process
    start_tool "$folder" /dev/null "$@"
    local deadline=$((SECONDS + 60))
    id=""
    while [ -z "$id" ] && [ $SECONDS -lt $deadline ]; do
        id=$(xdotool search --onlyvisible --name "^$startup_title\$" 2>/dev/null | head -n 1)
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

# Sorted column statistics: "median min max".
stats() { sort -n | awk '{v[NR] = $1} END {m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; print m, v[1], v[NR]}'; }

# report NAME RESULTS: one line of figures for the lines measure_once wrote into RESULTS,
# and each run's time.
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
        printf "%-26s %2d runs  mapped: median %d ms (min %d, max %d)  CPU until mapped: median %d ms  peak RSS: median %.1f MiB (max %.1f)\n",
            name, n, t[1], t[2], t[3], u[1], k[1] / 1024, k[3] / 1024
    }'
    echo "  each run, ms: $(cut -d' ' -f1 "$results" | tr '\n' ' ')"
}

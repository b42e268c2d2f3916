# Helpers for driving the real administration window under a private X server.
# Sourced by the acceptance runs and the start-up benchmarks; everything here acts from
# outside the program: X windows found by title, input through XTEST, outcomes read from
# files and /proc.

ACCEPT_REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# accept_build_folder FOLDER: the build folder a script was given, a relative one taken from
# the repository's root wherever the script is run from.
accept_build_folder() {
    if [[ $1 == /* ]]; then
        echo "$1"
    else
        echo "$ACCEPT_REPO/$1"
    fi
}

# The Debian packages the runs need: the X server, a small window manager, the tools
# that find, click and close windows, and the screenshot tool.
ACCEPT_PACKAGES="xvfb xauth openbox xdotool wmctrl x11-utils imagemagick procps util-linux \
fonts-dejavu-core"

accept_install_packages() {
    local missing=() package
    for package in $ACCEPT_PACKAGES; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed'; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "acceptance: missing packages ${missing[*]}; run as root to install them" >&2
        return 1
    fi
    echo "acceptance: installing ${missing[*]}"
    DEBIAN_FRONTEND=noninteractive apt-get update -qq &&
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
            "${missing[@]}" >/dev/null
}

# wait_until SECONDS COMMAND...: polls COMMAND every 0.1 s; false when it never succeeded.
wait_until() {
    local limit=$1
    shift
    local deadline=$((SECONDS + limit))
    while true; do
        "$@" && return 0
        [ $SECONDS -ge $deadline ] && return 1
        sleep 0.1
    done
}

ACCEPT_PIDS=()  # everything started here that must not outlive the run

accept_cleanup() {
    local pid
    for pid in "${ACCEPT_PIDS[@]}"; do
        kill -KILL "$pid" 2>/dev/null
    done
    for pid in "${ACCEPT_PIDS[@]}"; do
        wait "$pid" 2>/dev/null
    done
    ACCEPT_PIDS=()
}

ACCEPT_EXIT_HOOKS=()  # commands a run adds for its end, run before those processes are killed

# accept_work_folder NAME: the run's temporary folder, work=/tmp/NAME.XXXXXX. When the run
# ends, also by Ctrl-C, the exit hooks run, everything in ACCEPT_PIDS is killed and the
# folder is removed.
accept_work_folder() {
    work=$(mktemp -d "/tmp/$1.XXXXXX")
    trap accept_finish EXIT
    trap 'exit 130' INT TERM
}

accept_finish() {
    local hook
    for hook in "${ACCEPT_EXIT_HOOKS[@]}"; do
        "$hook"
    done
    accept_cleanup
    rm -rf "$work"
}

# Starts Xvfb on a display number it picks itself (no race with other X servers on the
# machine) and openbox on it; exports DISPLAY. False when either did not come up.
accept_start_x() {
    local work=$1 fifo="$1/displayfd"
    mkfifo "$fifo" || return 1
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$fifo" \
        >"$work/xvfb.log" 2>&1 &
    ACCEPT_PIDS+=($!)
    local display=""
    read -r -t 30 display <"$fifo"
    rm -f "$fifo"
    if [ -z "$display" ]; then
        echo "acceptance: Xvfb did not start (see $work/xvfb.log)" >&2
        return 1
    fi
    export DISPLAY=":$display"
    openbox --sm-disable >"$work/openbox.log" 2>&1 &
    ACCEPT_PIDS+=($!)
    if ! wait_until 30 wmctrl -m >/dev/null 2>&1; then
        echo "acceptance: openbox did not start (see $work/openbox.log)" >&2
        return 1
    fi
}

# The Qt window on the private X server (accept_start_x), with a runtime folder of its own.
accept_use_xcb() {
    export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/runtime"
    unset WAYLAND_DISPLAY QT_QPA_PLATFORMTHEME
    mkdir -m 700 "$XDG_RUNTIME_DIR"
}

# start_tool FOLDER LOG COMMAND...: runs COMMAND in FOLDER in the background, its output
# appended to LOG and its input from nowhere; sets TOOL_PID, which ends with the run.
start_tool() {
    local folder=$1 log=$2
    shift 2
    (cd "$folder" && exec "$@") >>"$log" 2>&1 </dev/null &
    TOOL_PID=$!
    ACCEPT_PIDS+=("$TOOL_PID")
}

tool_alive() { kill -0 "$TOOL_PID" 2>/dev/null; }

# Waits (bounded) for the tool to end by itself; sets TOOL_STATUS to its exit status.
wait_tool_exit() {
    local limit=$1
    wait_until "$limit" bash -c '! kill -0 "$1" 2>/dev/null || grep -q "^State:.*Z" /proc/"$1"/status 2>/dev/null' \
        _ "$TOOL_PID" || return 1
    wait "$TOOL_PID"
    TOOL_STATUS=$?
}

# The id of the viewable window whose title is exactly TITLE, or nothing.
window_by_title() {
    local title=$1 id info
    for id in $(xdotool search --onlyvisible --name "^$(sed 's/[][\.*^$()+?{}|]/\\&/g' <<<"$title")\$" 2>/dev/null); do
        # The Windows program's own application window bears the application title too,
        # but has no size: it is the taskbar button, never a box to answer.
        info=$(xwininfo -id "$id" 2>/dev/null) || continue
        if grep -q 'Map State: IsViewable' <<<"$info" &&
            [ "$(awk -F: '/^ *Width/ {gsub(/ /, "", $2); print $2}' <<<"$info")" -gt 2 ] &&
            [ "$(awk -F: '/^ *Height/ {gsub(/ /, "", $2); print $2}' <<<"$info")" -gt 2 ]; then
            echo "$id"
            return 0
        fi
    done
    return 1
}

# wait_window TITLE SECONDS: prints the window id once that window is viewable.
wait_window() {
    local title=$1 limit=$2 deadline=$((SECONDS + $2)) id
    while true; do
        id=$(window_by_title "$title") && { echo "$id"; return 0; }
        [ $SECONDS -ge $deadline ] && return 1
        sleep 0.1
    done
}

# Absolute screen position of a window's client area: sets WIN_X, WIN_Y, WIN_W, WIN_H.
window_geometry() {
    local info
    info=$(xwininfo -id "$1") || return 1
    WIN_X=$(awk -F: '/Absolute upper-left X/ {gsub(/ /, "", $2); print $2}' <<<"$info")
    WIN_Y=$(awk -F: '/Absolute upper-left Y/ {gsub(/ /, "", $2); print $2}' <<<"$info")
    WIN_W=$(awk -F: '/^ *Width/ {gsub(/ /, "", $2); print $2}' <<<"$info")
    WIN_H=$(awk -F: '/^ *Height/ {gsub(/ /, "", $2); print $2}' <<<"$info")
}

# click_control WINDOW LEFT TOP WIDTH HEIGHT: a left click in the middle of a control whose
# rectangle is given in the window's client coordinates, as the form lays it out.
click_control() {
    window_geometry "$1" || return 1
    xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1"
    xdotool mousemove --sync $((WIN_X + $2 + $4 / 2)) $((WIN_Y + $3 + $5 / 2)) click 1
}

# Keys and text go to whatever window holds the focus, as a person's typing would.
press_keys() { xdotool key --delay 40 "$@"; }
type_text() { xdotool type --delay 40 -- "$1"; }

activate() { xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1"; }

# The window manager's close request (WM_DELETE_WINDOW through _NET_CLOSE_WINDOW).
request_close() { wmctrl -i -c "$1"; }

# screenshot WINDOW FILE: the window with its frame, as it shows on the screen.
screenshot() {
    import -display "$DISPLAY" -window "$1" -frame "$2" 2>/dev/null ||
        import -display "$DISPLAY" -window "$1" "$2" 2>/dev/null
}

# Running (not zombie) processes whose executable is exactly PATH.
pids_of_executable() {
    local want=$1 exe pid
    for exe in /proc/[0-9]*/exe; do
        pid=${exe#/proc/}
        pid=${pid%/exe}
        [ "$(readlink "$exe" 2>/dev/null)" = "$want" ] || continue
        grep -q '^State:.*Z' "/proc/$pid/status" 2>/dev/null && continue
        echo "$pid"
    done
}

# Size, content hash and modification time in nanoseconds: equal means untouched.
file_fingerprint() { stat -c '%s %Y' "$1" && sha256sum <"$1" && stat -c '%y' "$1"; }

# The bytes of the settings file that the close writes for an empty program folder.
empty_settings() {
    printf '#Server Settings\r\n\r\n-aet = \r\nPort = \r\nFIFOMax = 0\r\nFIFOMin = 0\r\n-od = \r\n-db = \r\n'
}

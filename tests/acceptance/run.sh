#!/usr/bin/env bash
# Acceptance runs: the built VeltronaAdmin and the stand-in ZarvoServer.exe used as a person
# uses them, through the real window under a private X server with a window manager.
#   bash tests/acceptance/run.sh BUILD_DIR      (binaries in BUILD_DIR/bin)
# The scenarios are those of scenarios.sh; this file says how the Linux tool is started and
# where its files are. Every scenario gets a fresh program folder holding copies of both
# programs and its fixture files. Screenshots land in BUILD_DIR/acceptance/.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
source "$here/scenarios.sh"

build=$(accept_build_folder "${1:-build}")
bin="$build/bin"
artifacts="$build/acceptance"
FIRST_WINDOW_LIMIT=60

accept_prepare acceptance veltrona-acceptance VeltronaAdmin ZarvoServer.exe
accept_use_xcb

# Whether this machine lets root give a run its own process and mount namespaces.
# VELTRONA_ACCEPT_NO_NAMESPACES=1 tries the way taken where namespaces are not allowed.
ACCEPT_ISOLATE=0
if [ "${VELTRONA_ACCEPT_NO_NAMESPACES:-0}" != 1 ] &&
    unshare --pid --fork --mount-proc --kill-child true 2>/dev/null; then
    ACCEPT_ISOLATE=1
else
    echo "# no namespaces here: scenarios share the machine's process list" >&2
fi

# ---- the Linux tool ----------------------------------------------------------------------

program_folders=()
kill_servers_of_all_scenarios() {
    local folder pid
    for folder in "${program_folders[@]}"; do
        for pid in $(pids_of_executable "$folder/ZarvoServer.exe"); do
            kill -KILL "$pid" 2>/dev/null
        done
    done
}
ACCEPT_EXIT_HOOKS+=(kill_servers_of_all_scenarios)

new_program_folder() {
    SCENARIO_DIR="$work/scenario-$1"
    PROGRAM="$SCENARIO_DIR/program"
    mkdir -p "$PROGRAM"
    cp "$bin/VeltronaAdmin" "$bin/ZarvoServer.exe" "$PROGRAM/"
    program_folders+=("$PROGRAM")
    export ZARVO_SERVER_ARGS_FILE="$SCENARIO_DIR/server-arguments"
    SERVER_ARGUMENTS=$ZARVO_SERVER_ARGS_FILE
}

# launch_tool [readonly]: with isolation the tool runs in its own PID namespace, so stand-in
# servers of other runs on this machine neither look like its server nor get stopped by it;
# "readonly" then also mounts the program folder read-only for it alone, which holds even
# for root.
launch_tool() {
    if [ "$ACCEPT_ISOLATE" = 1 ]; then
        local setup=""
        if [ "${1:-}" = readonly ]; then
            setup='mount --bind "$1" "$1" && mount -o remount,bind,ro "$1" || exit 97; '
        fi
        # bash stays as the namespace's first process: it reaps the stopped server.
        start_tool "$PROGRAM" "$SCENARIO_DIR/tool.log" unshare --pid --fork --mount-proc --kill-child \
            bash -c "$setup"'cd "$1" && "$1/VeltronaAdmin" & wait $!' launcher "$PROGRAM"
    else
        start_tool "$PROGRAM" "$SCENARIO_DIR/tool.log" "$PROGRAM/VeltronaAdmin"
    fi
}

server_pids() { pids_of_executable "$PROGRAM/ZarvoServer.exe"; }

# A program folder that cannot be written: the close shows the error box and the window stays;
# once the folder is writable again the next close writes the file and ends the tool.
scenario_readonly_folder() {
    local before window
    if [ "$ACCEPT_ISOLATE" = 1 ]; then
        # A read-only mount of the folder, seen by the tool alone: root cannot write there either.
        cp "$fixtures/full/Server.INI" "$PROGRAM/"
        before=$(folder_fingerprint)
        launch_tool readonly
    else
        # Without mount namespaces: a folder in the place of the file stops root's write too.
        mkdir "$PROGRAM/Server.ini"
        before=$(folder_fingerprint)
        launch_tool
    fi
    window=$(wait_window "$main_title" "$FIRST_WINDOW_LIMIT") || fail "the main window did not appear" || return
    close_refused "$window" "$before" || return

    if [ "$ACCEPT_ISOLATE" = 1 ]; then
        # The tool's namespace is entered through the bash that started it.
        nsenter --target "$(pgrep -P "$TOOL_PID" | head -n 1)" --mount mount -o remount,bind,rw "$PROGRAM" ||
            fail "could not make the folder writable again" || return
    else
        rmdir "$PROGRAM/Server.ini"
    fi
    request_close "$window"
    wait_tool_exit 30 || fail "the second close did not end the tool" || return
    if [ "$ACCEPT_ISOLATE" = 1 ]; then
        cmp -s "$PROGRAM/Server.INI" "$fixtures/full/Server.INI" || fail "settings after the second close differ"
    else
        [ -f "$PROGRAM/Server.ini" ] || fail "the second close wrote no settings file"
    fi
}

accept_run_all "read-only program folder: error box, window stays open" scenario_readonly_folder

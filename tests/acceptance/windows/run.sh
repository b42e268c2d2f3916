#!/usr/bin/env bash
# Acceptance runs of the Windows build: VeltronaAdmin.exe and the stand-in ZarvoServer.exe
# under Wine, used as a person uses them, through the real window under a private Xvfb with
# openbox. The scenarios are those of ../scenarios.sh, which the Linux window runs too; this
# file says how the tool is started under Wine and where its files are.
#   bash tests/acceptance/windows/run.sh BUILD_DIR     (a mingw-w64 build; programs in BUILD_DIR/bin)
# One fresh 64-bit Wine prefix per run; every scenario gets its own program folder in it,
# C:\veltrona\scenario-N\program, with copies of both programs and its fixture files.
# Screenshots land in BUILD_DIR/acceptance-wine/.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib.sh"
source "$here/wine.sh"
source "$here/../scenarios.sh"

build=$(accept_build_folder "${1:-build-windows}")
bin="$build/bin"
artifacts="$build/acceptance-wine"
FIRST_WINDOW_LIMIT=90

accept_prepare "acceptance (Wine)" veltrona-acceptance-wine VeltronaAdmin.exe ZarvoServer.exe
wine_new_prefix "$work/prefix" || accept_abort

# ---- the tool under Wine -----------------------------------------------------------------

# C:\veltrona\scenario-N\program is PROGRAM on this side and WIN_PROGRAM on Wine's.
new_program_folder() {
    WIN_SCENARIO="C:\\veltrona\\scenario-$1"
    WIN_PROGRAM="$WIN_SCENARIO\\program"
    SCENARIO_DIR=$(wine_unix_path "$WIN_SCENARIO")
    PROGRAM=$(wine_unix_path "$WIN_PROGRAM")
    mkdir -p "$PROGRAM"
    cp "$bin/VeltronaAdmin.exe" "$bin/ZarvoServer.exe" "$PROGRAM/"
    # Wine hands the environment to the tool and through it to the server it starts.
    export ZARVO_SERVER_ARGS_FILE="$WIN_SCENARIO\\server-arguments"
    SERVER_ARGUMENTS="$SCENARIO_DIR/server-arguments"
}

# TOOL_PID is the Windows process itself, whose exit status is the tool's.
launch_tool() { start_tool "$PROGRAM" "$SCENARIO_DIR/tool.log" wine "$WIN_PROGRAM\\VeltronaAdmin.exe"; }

# The prefix is this run's own: every server in it is one the scenario's tool started.
server_pids() { wine_pids_named ZarvoServer.exe; }

# attrib of Wine's own command prompt, on a file of the program folder.
attrib() { wine cmd /c attrib "$1" "$WIN_PROGRAM\\$2" >/dev/null 2>&1 </dev/null; }

# A read-only settings file: the close shows the error box and the window stays; once the
# file may be written again, the next close writes it and ends the tool.
scenario_readonly_settings() {
    cp "$fixtures/full/Server.INI" "$PROGRAM/"
    attrib +r Server.INI || fail "attrib +r failed" || return
    local before window
    before=$(folder_fingerprint)
    launch_tool
    window=$(wait_window "$main_title" "$FIRST_WINDOW_LIMIT") || fail "the main window did not appear" || return
    close_refused "$window" "$before" || return
    attrib -r Server.INI || fail "attrib -r failed" || return
    request_close "$window"
    wait_tool_exit 30 || fail "the second close did not end the tool" || return
    cmp -s "$PROGRAM/Server.INI" "$fixtures/full/Server.INI" || fail "settings after the second close differ"
}

# The window's Start starts the stand-in, which then stores what DCMTK's storescu (Linux)
# sends it: the Windows server, started as the window starts it, serves DICOM.
scenario_start_serves() {
    local port window
    port=$((20000 + RANDOM % 20000))
    mkdir -p "$PROGRAM/images"
    printf -- '-aet = WINSTORE\r\nPort = %s\r\n-od = %s\\images\\\r\n' "$port" "$WIN_PROGRAM" \
        >"$PROGRAM/Server.INI"
    dump2dcm +Ug +te "$ACCEPT_REPO/scripts/demo/sample.dump" "$SCENARIO_DIR/sample.dcm" ||
        fail "dump2dcm failed" || return
    launch_tool
    window=$(wait_window "$main_title" "$FIRST_WINDOW_LIMIT") || fail "the main window did not appear" || return
    click_control "$window" 48 64 169 25 # Button2 "Zarvo Server starten"
    wait_until 30 server_running || fail "the server was not started" || return
    wait_until 30 storescu -aec WINSTORE 127.0.0.1 "$port" "$SCENARIO_DIR/sample.dcm" ||
        fail "storescu was not answered on port $port" || return
    ls "$PROGRAM/images/"*.dcm >/dev/null 2>&1 || fail "no image in the image folder" || return
    request_close "$window"
    wait_tool_exit 30 || fail "the close did not end the tool"
}

accept_run_all "read-only settings file: error box, window stays open" scenario_readonly_settings \
    "the window's Start starts a stand-in that stores an image" scenario_start_serves

#!/usr/bin/env bash
# Acceptance runs of the Windows build: VeltronaAdmin.exe and the stand-in ZarvoServer.exe
# under Wine, used as a person uses them, through the real window under a private Xvfb with
# openbox. The scenarios are those of ../run.sh for the Linux window.
#   bash tests/acceptance/windows/run.sh BUILD_DIR     (a mingw-w64 build; programs in BUILD_DIR/bin)
# One fresh 64-bit Wine prefix per run; every scenario gets its own program folder in it,
# C:\veltrona\scenario-N\program, with copies of both programs and its fixture files. The run
# acts only through clicks at the form's client coordinates, typing and the window manager's
# close request, and judges from outside: file bytes, the prefix's processes, the server's
# recorded arguments, window titles and the tool's exit. Screenshots land in
# BUILD_DIR/acceptance-wine/. Every wait is bounded; the limits only keep a broken run from
# hanging, they never judge speed.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../../.." && pwd)
build=${1:-build-windows}
[[ $build == /* ]] || build="$repo/$build"
bin="$build/bin"
artifacts="$build/acceptance-wine"
fixtures="$here/../fixtures"
main_title="Zarvo Server Einstellungen"

source "$here/../lib.sh"
source "$here/wine.sh"

for program in VeltronaAdmin.exe ZarvoServer.exe; do
    if [ ! -f "$bin/$program" ]; then
        echo "acceptance (Wine): $bin/$program is missing; build first" >&2
        echo "0 passed, 1 failed"
        exit 1
    fi
done
accept_install_packages || {
    echo "0 passed, 1 failed"
    exit 1
}

work=$(mktemp -d /tmp/veltrona-acceptance-wine.XXXXXX)
mkdir -p "$artifacts"
rm -f "$artifacts"/*.png

finish() {
    [ -n "${WINEPREFIX:-}" ] && wine_kill_all
    accept_cleanup
    rm -rf "$work"
}
trap finish EXIT
trap 'exit 130' INT TERM

if ! accept_start_x "$work" || ! wine_new_prefix "$work/prefix"; then
    echo "0 passed, 1 failed"
    exit 1
fi

# ---- per-scenario helpers -------------------------------------------------------------

why=""
fail() {
    why=$1
    return 1
}

# Lays out C:\veltrona\scenario-N\program (PROGRAM on this side, WIN_PROGRAM on Wine's) with
# both programs; SCENARIO_DIR is the folder above it, where a translation file goes.
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

# Starts the program folder's VeltronaAdmin.exe in the background; TOOL_PID is the Windows
# process itself, whose exit status is the tool's.
launch_tool() {
    (cd "$PROGRAM" && exec wine "$WIN_PROGRAM\\VeltronaAdmin.exe") >>"$SCENARIO_DIR/tool.log" 2>&1 </dev/null &
    TOOL_PID=$!
    ACCEPT_PIDS+=("$TOOL_PID")
}
tool_alive() { kill -0 "$TOOL_PID" 2>/dev/null; }

# The names of the settings files in the program folder, whatever their letter case.
settings_files() { find "$PROGRAM" -maxdepth 1 -iname server.ini -printf '%f\n'; }
folder_fingerprint() {
    find "$PROGRAM" -mindepth 1 -maxdepth 1 -printf '%f %y %s %T@\n' | sort
    [ -f "$PROGRAM/Server.INI" ] && sha256sum <"$PROGRAM/Server.INI"
}
server_running() { [ -n "$(wine_pids_named ZarvoServer.exe)" ]; }
server_gone() { ! server_running; }
stopped_or_answered() { server_gone || window_by_title Information >/dev/null; }
window_gone() { ! xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }
# attrib of Wine's own command prompt, on a file of the program folder.
attrib() { wine cmd /c attrib "$1" "$WIN_PROGRAM\\$2" >/dev/null 2>&1 </dev/null; }

dismiss() {
    activate "$1"
    press_keys Return
    wait_until 20 window_gone "$1"
}

answer_prompt() {
    activate "$1"
    type_text "$2"
    press_keys Return
}

close_expecting_settings() {
    request_close "$1"
    wait_tool_exit 30 || fail "the tool did not end after the close request" || return
    cmp -s "$PROGRAM/Server.INI" "$2" ||
        fail "settings after the close: $(tr '\r\n' '|' <"$PROGRAM/Server.INI")"
}

# Replaces the text of an edit: a click into it, the whole line selected, the new text typed.
retype() {
    click_control "$1" "$2" "$3" "$4" "$5"
    press_keys End shift+Home
    type_text "$6"
}

# ---- scenarios ---------------------------------------------------------------------------

scenario_empty_folder() {
    launch_tool
    local window
    window=$(wait_window "$main_title" 90) || fail "the main window did not appear" || return
    window_geometry "$window"
    [ "${WIN_W}x${WIN_H}" = 485x432 ] || fail "client area ${WIN_W}x${WIN_H}, not 485x432" || return
    [ -z "$(settings_files)" ] || fail "settings written before the close" || return
    screenshot "$window" "$artifacts/1-empty-folder.png"
    request_close "$window"
    wait_tool_exit 30 || fail "the tool did not end after the close request" || return
    [ "$TOOL_STATUS" = 0 ] || fail "exit status $TOOL_STATUS" || return
    [ "$(settings_files)" = Server.ini ] || fail "no file named exactly Server.ini: $(settings_files)" || return
    cmp -s "$PROGRAM/Server.ini" \
        <(printf '#Server Settings\r\n\r\n-aet = \r\nPort = \r\nFIFOMax = 0\r\nFIFOMin = 0\r\n-od = \r\n-db = \r\n') ||
        fail "Server.ini holds: $(od -c "$PROGRAM/Server.ini" | head -n 8)"
}

scenario_start_stop() {
    cp "$fixtures/full/Server.INI" "$PROGRAM/"
    launch_tool
    local window
    window=$(wait_window "$main_title" 90) || fail "the main window did not appear" || return
    retype "$window" $((248 + 48)) $((104 + 68)) 121 21 11112 # Edit2 inside GroupBox2
    click_control "$window" 48 64 169 25                      # Button2 "Zarvo Server starten"
    wait_until 30 test -s "$SERVER_ARGUMENTS" || fail "the server was not started" || return
    cmp -s "$SERVER_ARGUMENTS" "$fixtures/full/server-arguments.txt" ||
        fail "server arguments: $(tr '\n' ' ' <"$SERVER_ARGUMENTS")" || return
    wait_until 30 server_running || fail "no ZarvoServer.exe process" || return

    # Until the status poll has seen the server, the stop button answers "Server läuft
    # nicht" in an information box, which is dismissed and the press repeated.
    local deadline=$((SECONDS + 90)) info
    while server_running; do
        [ $SECONDS -lt $deadline ] || fail "Button1 never stopped the server" || return
        sleep 1
        click_control "$window" 48 24 169 25 # Button1 "Zarvo Server stoppen"
        wait_until 10 stopped_or_answered
        if info=$(window_by_title Information); then
            dismiss "$info" || fail "the information box did not close" || return
        fi
    done
    sleep 2 # lets the status log show the stop in the screenshot; nothing is judged by it
    screenshot "$window" "$artifacts/2-start-stop.png"
    tool_alive || fail "the tool ended on its own" || return
    close_expecting_settings "$window" "$fixtures/full/Server.after-port-edit.ini"
}

scenario_wrong_password() {
    cp "$fixtures/password/Server.INI" "$PROGRAM/"
    local before prompt info
    before=$(file_fingerprint "$PROGRAM/Server.INI")
    launch_tool
    prompt=$(wait_window "Login required" 90) || fail "no \"Login required\" prompt" || return
    ! window_by_title "$main_title" >/dev/null || fail "the main window shows behind the prompt" || return
    screenshot "$prompt" "$artifacts/3-password-prompt.png"
    answer_prompt "$prompt" "sesam=offen 7"
    info=$(wait_window Information 30) || fail "no \"Information\" box after the wrong entry" || return
    screenshot "$info" "$artifacts/3-wrong-password.png"
    dismiss "$info" || fail "the information box did not close" || return
    wait_tool_exit 30 || fail "the tool did not end by itself after OK" || return
    [ "$(file_fingerprint "$PROGRAM/Server.INI")" = "$before" ] || fail "the settings file was touched" || return
    [ ! -e "$SERVER_ARGUMENTS" ] && server_gone || fail "a server was started"
}

scenario_right_password() {
    cp "$fixtures/password/Server.INI" "$PROGRAM/"
    launch_tool
    local prompt window
    prompt=$(wait_window "Login required" 90) || fail "no \"Login required\" prompt" || return
    answer_prompt "$prompt" "Sesam=offen 7"
    window=$(wait_window "$main_title" 30) || fail "the main window did not open" || return
    close_expecting_settings "$window" "$fixtures/password/Server.INI"
}

scenario_translation() {
    cp "$fixtures/translated/Custom.ini" "$SCENARIO_DIR/"
    cp "$fixtures/password/Server.INI" "$PROGRAM/"
    launch_tool
    local prompt window
    prompt=$(wait_window "Anmeldung erforderlich" 90) || fail "the prompt's caption is not translated" || return
    answer_prompt "$prompt" "Sesam=offen 7"
    window=$(wait_window "Zarvo Server Settings" 30) || fail "no window titled \"Zarvo Server Settings\"" || return
    ! window_by_title "$main_title" >/dev/null || fail "a window still carries the German title" || return
    screenshot "$window" "$artifacts/4-translated.png"
    request_close "$window"
    wait_tool_exit 30 || fail "the tool did not end after the close request"
}

# A read-only settings file: the close shows the error box and the window stays; once the
# file may be written again, the next close writes it and ends the tool.
scenario_readonly_settings() {
    cp "$fixtures/full/Server.INI" "$PROGRAM/"
    attrib +r Server.INI || fail "attrib +r failed" || return
    local before window error
    before=$(folder_fingerprint)
    launch_tool
    window=$(wait_window "$main_title" 90) || fail "the main window did not appear" || return
    request_close "$window"
    error=$(wait_window "Veltrona Administration" 30) || fail "no error box after the close" || return
    screenshot "$error" "$artifacts/5-readonly-error.png"
    dismiss "$error" || fail "the error box did not close" || return
    sleep 1 # a window that was going to close has had its chance; nothing is timed by this
    tool_alive || fail "the tool ended although the settings were not written" || return
    window_by_title "$main_title" >/dev/null || fail "the main window did not stay open" || return
    [ "$(folder_fingerprint)" = "$before" ] || fail "the program folder changed" || return
    attrib -r Server.INI || fail "attrib -r failed" || return
    request_close "$window"
    wait_tool_exit 30 || fail "the second close did not end the tool" || return
    cmp -s "$PROGRAM/Server.INI" "$fixtures/full/Server.INI" || fail "settings after the second close differ"
}

# ---- driver ------------------------------------------------------------------------------

passed=0
failed=0
number=0
run_scenario() {
    local name=$1 body=$2
    number=$((number + 1))
    new_program_folder "$number"
    why=""
    if "$body"; then
        echo "ok $number $name"
        passed=$((passed + 1))
    else
        echo "not ok $number $name${why:+ # $why}"
        [ -f "$SCENARIO_DIR/tool.log" ] && sed 's/^/#   tool: /' "$SCENARIO_DIR/tool.log" | tail -n 20
        failed=$((failed + 1))
        xdotool search --name . getwindowname %@ 2>/dev/null | sed 's/^/#   window: /' | head -n 20
    fi
    # Whatever the scenario left behind goes before the next one starts: the tool, the
    # servers of the prefix and any dialog still open.
    if tool_alive; then
        kill -KILL "$TOOL_PID" 2>/dev/null
        wait "$TOOL_PID" 2>/dev/null
    fi
    local pid
    for pid in $(wine_pids_named ZarvoServer.exe); do
        kill -KILL "$pid" 2>/dev/null
    done
}

echo "1..6"
run_scenario "empty folder: window opens, close creates Server.ini" scenario_empty_folder
run_scenario "typed port reaches the started server and the settings file" scenario_start_stop
run_scenario "wrong password: information box, tool ends, file untouched" scenario_wrong_password
run_scenario "right password opens the window" scenario_right_password
run_scenario "Custom.ini above the program folder translates the window" scenario_translation
run_scenario "read-only settings file: error box, window stays open" scenario_readonly_settings

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]

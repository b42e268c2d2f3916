# The acceptance scenarios of the administration window, shared by the run of the Linux
# window (run.sh) and the run of VeltronaAdmin.exe under Wine (windows/run.sh). Source
# lib.sh first. A scenario acts only through clicks at the form's client coordinates,
# typing and the window manager's close request, and judges from outside: file bytes,
# processes, the server's recorded arguments, window titles and the tool's exit. Every wait
# is bounded; the limits only keep a broken run from hanging, they never judge speed.
#
# The script that sources this file supplies what differs between the platforms:
#   bin, artifacts        the folder of the built programs; the folder for screenshots
#   FIRST_WINDOW_LIMIT    seconds a start may take to show its first window
#   new_program_folder N  lays out scenario N's program folder holding copies of both
#                         programs; sets PROGRAM (the folder as seen from here), SCENARIO_DIR
#                         (the folder above it, where a translation file goes) and
#                         SERVER_ARGUMENTS (where the server records its arguments)
#   launch_tool           starts PROGRAM's tool in the background; sets TOOL_PID
#   server_pids           the running servers that this scenario's tool may have started
# and its own sixth scenario, a close refused because the settings cannot be written
# (close_refused below holds what such a scenario judges), named to accept_run_all.

fixtures="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/fixtures"
main_title="Zarvo Server Einstellungen"

# A run that could not even start: one failure, and the run ends.
accept_abort() {
    echo "0 passed, 1 failed"
    exit 1
}

# accept_prepare LABEL NAME PROGRAM...: checks that bin holds the programs and that the
# packages are installed, makes the run's temporary folder (work=/tmp/NAME.XXXXXX), empties
# the screenshot folder and starts the X server. Ends the run when any of that fails.
accept_prepare() {
    local label=$1 name=$2 program
    shift 2
    for program in "$@"; do
        if [ ! -x "$bin/$program" ]; then
            echo "$label: $bin/$program is missing; build first" >&2
            accept_abort
        fi
    done
    accept_install_packages || accept_abort
    accept_work_folder "$name"
    mkdir -p "$artifacts"
    rm -f "$artifacts"/*.png
    accept_start_x "$work" || accept_abort
}

# ---- per-scenario helpers -------------------------------------------------------------

why=""
fail() {
    why=$1
    return 1
}

# The names of the settings files in the program folder, whatever their letter case.
settings_files() { find "$PROGRAM" -maxdepth 1 -iname server.ini -printf '%f\n'; }
# Each entry's name, kind, size and time, and the settings' bytes; the folder's own time is
# left out, since a write that fails may still have made and removed a temporary file.
folder_fingerprint() {
    find "$PROGRAM" -mindepth 1 -maxdepth 1 -printf '%f %y %s %T@\n' | sort
    [ -f "$PROGRAM/Server.INI" ] && sha256sum <"$PROGRAM/Server.INI"
}
server_running() { [ -n "$(server_pids)" ]; }
server_gone() { ! server_running; }
stopped_or_answered() { server_gone || window_by_title Information >/dev/null; }
window_gone() { ! xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }

# Dismisses a message box by its default button, as Enter does.
dismiss() {
    activate "$1"
    press_keys Return
    wait_until 20 window_gone "$1"
}

# answer_prompt WINDOW TEXT: types TEXT into the password prompt and confirms with Enter.
answer_prompt() {
    activate "$1"
    type_text "$2"
    press_keys Return
}

# log_in PROMPT_TITLE WINDOW_TITLE: starts the tool on the settings with a password, answers
# the prompt with the right one and sets WINDOW to the main window that opens then.
log_in() {
    cp "$fixtures/password/Server.INI" "$PROGRAM/"
    launch_tool
    local prompt
    prompt=$(wait_window "$1" "$FIRST_WINDOW_LIMIT") || fail "no \"$1\" prompt" || return
    answer_prompt "$prompt" "Sesam=offen 7"
    WINDOW=$(wait_window "$2" 30) || fail "no window titled \"$2\" after the right password"
}

# Replaces the text of an edit: a click into it, the whole line selected, the new text typed.
retype() {
    click_control "$1" "$2" "$3" "$4" "$5"
    press_keys End shift+Home
    type_text "$6"
}

# close_expecting_settings WINDOW FILE: asks the window manager to close WINDOW, waits for
# the tool to end and compares the settings file with FILE.
close_expecting_settings() {
    request_close "$1"
    wait_tool_exit 30 || fail "the tool did not end after the close request" || return
    cmp -s "$PROGRAM/Server.INI" "$2" ||
        fail "settings after the close: $(tr '\r\n' '|' <"$PROGRAM/Server.INI")"
}

# close_refused WINDOW BEFORE: the close request while the settings cannot be written. The
# error box shows and is dismissed; the tool and its window stay, and the program folder
# still has the fingerprint BEFORE.
close_refused() {
    local error
    request_close "$1"
    error=$(wait_window "Veltrona Administration" 30) || fail "no error box after the close" || return
    screenshot "$error" "$artifacts/5-readonly-error.png"
    dismiss "$error" || fail "the error box did not close" || return
    sleep 1 # a window that was going to close has had its chance; nothing is timed by this
    tool_alive || fail "the tool ended although the settings were not written" || return
    window_by_title "$main_title" >/dev/null || fail "the main window did not stay open" || return
    [ "$(folder_fingerprint)" = "$2" ] || fail "the program folder changed"
}

# ---- scenarios ---------------------------------------------------------------------------

# Empty folder: the window opens at its fixed size, and the close creates "Server.ini".
scenario_empty_folder() {
    launch_tool
    local window
    window=$(wait_window "$main_title" "$FIRST_WINDOW_LIMIT") || fail "the main window did not appear" || return
    window_geometry "$window"
    [ "${WIN_W}x${WIN_H}" = 485x432 ] || fail "client area ${WIN_W}x${WIN_H}, not 485x432" || return
    # The window manager shows the application icon on the window, its taskbar entry and
    # the window switcher: the window hands it over as _NET_WM_ICON.
    xprop -id "$window" _NET_WM_ICON 2>/dev/null | grep -q 'Icon (' ||
        fail "the window hands the window manager no icon" || return
    [ -z "$(settings_files)" ] || fail "settings written before the close" || return
    screenshot "$window" "$artifacts/1-empty-folder.png"
    request_close "$window"
    wait_tool_exit 30 || fail "the tool did not end after the close request" || return
    [ "$TOOL_STATUS" = 0 ] || fail "exit status $TOOL_STATUS" || return
    [ "$(settings_files)" = Server.ini ] || fail "no file named exactly Server.ini: $(settings_files)" || return
    cmp -s "$PROGRAM/Server.ini" \
        <(empty_settings) ||
        fail "Server.ini holds: $(od -c "$PROGRAM/Server.ini" | head -n 8)"
}

# Full settings: the port typed into Edit2 reaches the server's command line and the file.
scenario_start_stop() {
    cp "$fixtures/full/Server.INI" "$PROGRAM/"
    launch_tool
    local window
    window=$(wait_window "$main_title" "$FIRST_WINDOW_LIMIT") || fail "the main window did not appear" || return
    retype "$window" $((248 + 48)) $((104 + 68)) 121 21 11112 # Edit2 inside GroupBox2
    click_control "$window" 48 64 169 25                      # Button2 "Zarvo Server starten"
    wait_until 30 test -s "$SERVER_ARGUMENTS" || fail "the server was not started" || return
    cmp -s "$SERVER_ARGUMENTS" "$fixtures/full/server-arguments.txt" ||
        fail "server arguments: $(tr '\n' ' ' <"$SERVER_ARGUMENTS")" || return
    wait_until 30 server_running || fail "no ZarvoServer.exe process from the program folder" || return

    # The stop button acts only once the status poll has seen the server; until then the
    # tool answers "Server läuft nicht" in an information box, which is dismissed and the
    # press repeated.
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

# A wrong password: the prompt stands alone, the information box follows, the tool ends by
# itself, the settings file keeps bytes and time, and no server is started.
scenario_wrong_password() {
    cp "$fixtures/password/Server.INI" "$PROGRAM/"
    local before prompt info
    before=$(file_fingerprint "$PROGRAM/Server.INI")
    launch_tool
    prompt=$(wait_window "Login required" "$FIRST_WINDOW_LIMIT") || fail "no \"Login required\" prompt" || return
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

# The right password opens the main window; the close writes the password back.
scenario_right_password() {
    log_in "Login required" "$main_title" || return
    close_expecting_settings "$WINDOW" "$fixtures/password/Server.INI"
}

# Custom.ini above the program folder translates the window caption and the catalogue line
# that captions the password prompt.
scenario_translation() {
    cp "$fixtures/translated/Custom.ini" "$SCENARIO_DIR/"
    log_in "Anmeldung erforderlich" "Zarvo Server Settings" || return
    ! window_by_title "$main_title" >/dev/null || fail "a window still carries the German title" || return
    screenshot "$WINDOW" "$artifacts/4-translated.png"
    request_close "$WINDOW"
    wait_tool_exit 30 || fail "the tool did not end after the close request"
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
    # Whatever the scenario left behind goes before the next one starts.
    if tool_alive; then
        kill -KILL "$TOOL_PID" 2>/dev/null
        wait "$TOOL_PID" 2>/dev/null
    fi
    local pid
    for pid in $(server_pids); do
        kill -KILL "$pid" 2>/dev/null
    done
}

# accept_run_all NAME SCENARIO [NAME SCENARIO...]: the shared scenarios, then the platform's
# own (a refused close, and what else it adds) under their names; ends with the counts, and
# fails unless some ran and none failed.
accept_run_all() {
    echo "1..$((5 + $# / 2))"
    run_scenario "empty folder: window opens, close creates Server.ini" scenario_empty_folder
    run_scenario "typed port reaches the started server and the settings file" scenario_start_stop
    run_scenario "wrong password: information box, tool ends, file untouched" scenario_wrong_password
    run_scenario "right password opens the window" scenario_right_password
    run_scenario "Custom.ini above the program folder translates the window" scenario_translation
    while [ $# -ge 2 ]; do
        run_scenario "$1" "$2"
        shift 2
    done
    echo "$passed passed, $failed failed"
    # A run in which no scenario ran proves nothing.
    [ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
}

#!/usr/bin/env bash
# The Windows service ZarvoServer through its whole life under Wine's service control
# manager: installed by VeltronaCtl.exe under its account (the virtual account by default,
# another one named, an image folder above the programs refused), refused from a second folder
# unless --replace is given, started with the window's command line (the
# stand-in records the arguments it got), brought back after a crash, ended by the window's
# stop, by the service manager's and by VeltronaCtl's graceful stop, its output kept in a rotated log, Linux storescu
# storing an image with it, and removed.
# Then `VeltronaCtl run` without the service, waiting for its server.
#
#   service-lifecycle.sh NAME PROGRAM_DIR END_PROCESS_EXE SAMPLE_DUMP
#                                  (in the Wine prefix of scripts/windows-tests.sh)
#
# The stand-in learns where to record its arguments from the system environment, which
# Wine's service manager reads when it starts: the prefix's wine server is restarted once
# for that. Ends with "N passed, M failed"; with VELTRONA_CASE_COUNTS set, adds
# "NAME PASSED FAILED 0" to that file as tests/wine/run-suite.sh does.
set -uo pipefail
name=$1
programs=$2
end_process=$3
sample_dump=$4
env_key='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'

passed=0
failed=0
work=$(mktemp -d /tmp/veltrona-service.XXXXXX)
finish() {
    wine sc stop ZarvoServer >/dev/null 2>&1
    wine "$work/p/VeltronaCtl.exe" service remove >/dev/null 2>&1
    wine reg delete "$env_key" /v ZARVO_SERVER_ARGS_FILE /f >/dev/null 2>&1
    wine reg delete "$env_key" /v VELTRONA_SERVICE_LOG_BYTES /f >/dev/null 2>&1
    rm -rf "$work"
    [ $((passed + failed)) -gt 0 ] || failed=1
    echo "$passed passed, $failed failed"
    [ -z "${VELTRONA_CASE_COUNTS:-}" ] || echo "$name $passed $failed 0" >>"$VELTRONA_CASE_COUNTS"
    # A trap's last status is not the script's: only exit sets it.
    [ $failed -eq 0 ] || exit 1
}
trap finish EXIT

check() {
    if "${@:2}"; then
        echo "ok - $1"
        passed=$((passed + 1))
    else
        echo "not ok - $1"
        failed=$((failed + 1))
    fi
}
# Waits up to 20 s for COMMAND to succeed.
eventually() {
    local i
    for i in $(seq 200); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}
ctl() { wine "$work/p/VeltronaCtl.exe" "$@" 2>/dev/null </dev/null | tr -d '\r'; }
state() { wine sc query ZarvoServer 2>/dev/null </dev/null | tr -d '\r' | sed -nE 's/.*STATE *: *[0-9]+ *([A-Z_]+).*/\1/p'; }
in_state() { [ "$(state)" = "$1" ]; }
# The identifier of the one running server, from VeltronaCtl's status.
server_id() { ctl --json status | sed -nE 's/.*"processes":\[\{"id":([0-9]+),.*/\1/p'; }
has_server() { [ -n "$(server_id)" ]; }
no_server() { [ -z "$(server_id)" ]; }
recorded() { [ -s "$work/args.txt" ] && cmp -s "$work/args.txt" "$work/expected.txt"; }

mkdir "$work/p"
cp "$programs/VeltronaCtl.exe" "$programs/ZarvoServer.exe" "$work/p/"
port=$((20000 + RANDOM % 20000))
windows_work="Z:${work//\//\\}"
# The arguments of the window's start: " -dw +xs -od "<folder>\images"  -aet ARCHIVE <port>".
for argument in -dw +xs -od "$windows_work\\images" -aet ARCHIVE "$port"; do
    printf '%s:%s\n' "${#argument}" "$argument"
done >"$work/expected.txt"

wine reg add "$env_key" /v ZARVO_SERVER_ARGS_FILE /t REG_SZ /d "$windows_work\\args.txt" /f >/dev/null 2>&1
# The host's test seam: the log rotates at 4 KiB instead of 10 MB.
wine reg add "$env_key" /v VELTRONA_SERVICE_LOG_BYTES /t REG_SZ /d 4096 /f >/dev/null 2>&1
wineserver -k >/dev/null 2>&1
wineserver -p >/dev/null 2>&1 </dev/null

# An image folder that holds the programs would let the service's account change them.
printf -- '-od = %s\\\r\n' "$windows_work" >"$work/p/Server.INI"
ctl service install --start manual >/dev/null
check "an image folder above the program folder is refused" test $? -eq 1 -a -z "$(state)"
# A link on the way to the image folder (made by anyone who may write above it) would hand
# the account another folder.
mkdir "$work/elsewhere"
ln -s "$work/elsewhere" "$work/linked"
printf -- '-od = %s\\linked\\images\\\r\n' "$windows_work" >"$work/p/Server.INI"
ctl service install --start manual >/dev/null
check "an image folder reached through a link is refused, nothing made there" \
    test $? -eq 1 -a -z "$(state)" -a -z "$(ls -A "$work/elsewhere")"
printf -- '-aet = ARCHIVE\r\nPort = %s\r\n-od = %s\\images\\\r\n-db = %s\\db\r\n+xs\r\n' \
    "$port" "$windows_work" "$windows_work" >"$work/p/Server.INI"

ctl service install --start manual --account 'NT AUTHORITY\LocalService' >/dev/null
service_account() {
    wine reg query 'HKLM\System\CurrentControlSet\Services\ZarvoServer' /v ObjectName 2>/dev/null \
        </dev/null | tr -d '\r' | sed -nE 's/^ +ObjectName +REG_SZ +//p'
}
check "--account names the service's account" test "$(service_account)" = 'NT AUTHORITY\LocalService'
# An account of its own: the password comes on standard input, never on a command line.
user=$(wine cmd /c echo %USERNAME% 2>/dev/null </dev/null | tr -d '\r')
printf 'not-a-secret\n' | wine "$work/p/VeltronaCtl.exe" service install --start manual \
    --account ".\\$user" --password >/dev/null 2>&1
check "an account with a password read from standard input" test "$(service_account)" = ".\\$user"
wine "$work/p/VeltronaCtl.exe" service install --start manual --account 'no such account' \
    </dev/null >/dev/null 2>&1
status=$?
check "an unknown account is refused (exit $status), the service left as it was" \
    test $status -eq 1 -a "$(service_account)" = ".\\$user"
ctl service install --start manual --account LocalSystem >/dev/null
status=$?
check "and so is LocalSystem (exit $status)" test $status -eq 1 -a "$(service_account)" = ".\\$user"
ctl service install --start manual >"$work/install.log"
check "service install succeeds" grep -q '^Service ZarvoServer installed, started by hand' "$work/install.log"
check "by default as its virtual account, not LocalSystem" test "$(service_account)" = 'NT SERVICE\ZarvoServer'
granted() {
    local w=$windows_work
    grep -qxF "NT SERVICE\\ZarvoServer may change files in $w\\images\\ and $w\\db and $w\\p\\logs, and read and run those of $w\\p\\" "$work/install.log" &&
        [ -d "$work/images" ] && [ -d "$work/db" ] && [ -d "$work/p/logs" ]
}
check "which may change the image, database and log folders, made for it" granted
# Wine's sc has no qc: the service's registration, read from the registry.
wine reg query 'HKLM\System\CurrentControlSet\Services\ZarvoServer' 2>/dev/null </dev/null |
    tr -d '\r' >"$work/service.txt"
check "the service runs VeltronaCtl.exe service host of the program folder" \
    grep -qxF "    ImagePath    REG_SZ    \"$windows_work\p\VeltronaCtl.exe\" service host" "$work/service.txt"
check "its display name" grep -qxF '    DisplayName    REG_SZ    Zarvo DICOM storage server' "$work/service.txt"
check "it starts by hand" grep -qx '    Start    REG_DWORD    0x3' "$work/service.txt"
wine reg query 'HKLM\System\CurrentControlSet\Services\EventLog\Application\ZarvoServer' \
    2>/dev/null </dev/null | tr -d '\r' >"$work/events.txt"
check "its event source takes the texts from VeltronaCtl.exe" \
    grep -qxF "    EventMessageFile    REG_SZ    $windows_work\p\VeltronaCtl.exe" "$work/events.txt"

# One service: an install from a second folder leaves it to the first unless --replace is given.
mkdir "$work/q"
cp "$work/p/VeltronaCtl.exe" "$work/p/ZarvoServer.exe" "$work/p/Server.INI" "$work/q/"
image_path() {
    wine reg query 'HKLM\System\CurrentControlSet\Services\ZarvoServer' /v ImagePath 2>/dev/null \
        </dev/null | tr -d '\r' | sed -nE 's/^ +ImagePath +REG_SZ +//p'
}
first_path=$(image_path)
wine "$work/q/VeltronaCtl.exe" service install --start manual </dev/null >/dev/null 2>"$work/second.log"
status=$?
names_first() { grep -qF "Service ZarvoServer runs the server of $windows_work\\p\\;" "$work/second.log"; }
check "an install from a second folder is refused (exit $status)" test $status -eq 1
check "naming the folder the service runs from" names_first
check "and leaves the service as it was" test "$(image_path)" = "$first_path"
wine "$work/q/VeltronaCtl.exe" service install --start manual --replace </dev/null >/dev/null 2>&1
check "--replace points it at the second folder" \
    test "$(image_path)" = "\"$windows_work\\q\\VeltronaCtl.exe\" service host"
ctl service install --start manual --replace >/dev/null
check "and back" test "$(image_path)" = "$first_path"

wine sc start ZarvoServer >/dev/null 2>&1 </dev/null
check "sc start: the service runs" eventually in_state RUNNING
check "the server got the window's arguments" eventually recorded
first=$(server_id)
check "VeltronaCtl sees the server" test -n "$first"
logs=$work/p/logs
logged() { grep -qF "ZarvoServer stand-in: AE title \"ARCHIVE\", port $port" "$logs/ZarvoServer.log"; }
check "the server's output lands in logs\\ZarvoServer.log" eventually logged
# Linux storescu stores an image with the server the service started.
dump2dcm +Ug +te "$sample_dump" "$work/sample.dcm"
uid=$(dcmdump +P SOPInstanceUID "$work/sample.dcm" | sed -nE 's/.*\[([0-9.]+)\].*/\1/p')
send() { storescu -to 10 -aec ARCHIVE 127.0.0.1 "$port" "$work/sample.dcm" >/dev/null 2>&1; }
check "Linux storescu stores an image with the service's server" eventually send
check "which lands in its image folder" test -s "$work/images/$uid.dcm"

rm -f "$work/args.txt"
# A full log with five older ones: the next start's lines rotate it, the oldest is dropped.
head -c 4096 /dev/zero | tr '\0' c >"$logs/ZarvoServer.log"
for n in 1 2 3 4 5; do echo "old $n" >"$logs/ZarvoServer.$n.log"; done
wine "$end_process" "$first" 3 </dev/null  # a crash: exit status 3
check "a crash: the server is started again" eventually recorded
second=$(server_id)
check "as another process, the service still running" \
    test -n "$second" -a "$second" != "$first" -a "$(state)" = RUNNING
rotated() {
    logged && [ "$(cut -c1-3 "$logs/ZarvoServer.1.log")" = ccc ] &&
        [ "$(cat "$logs/ZarvoServer.5.log")" = "old 4" ] && [ "$(ls "$logs" | wc -l)" -eq 6 ]
}
check "its lines rotate the full log: five older ones, the oldest dropped" eventually rotated

# The host dies: its job object takes the server with it.
kill -KILL $(pgrep -f "VeltronaCtl.exe service host" | while read -r pid; do
    tr '\0' ' ' </proc/$pid/cmdline | grep -qF "$windows_work" && echo "$pid"; done)
check "a host that dies leaves no server behind" eventually no_server
eventually in_state STOPPED

wine sc start ZarvoServer >/dev/null 2>&1 </dev/null
check "started again" eventually in_state RUNNING
check "with its server" eventually has_server
ctl stop >/dev/null
check "the window's stop (exit status 0) stops the service" eventually in_state STOPPED
sleep 2
check "and no server is started again" no_server

wine sc start ZarvoServer >/dev/null 2>&1 </dev/null
eventually has_server
started=$(date +%s%N)
wine sc stop ZarvoServer >/dev/null 2>&1 </dev/null
check "sc stop: the service stops" eventually in_state STOPPED
echo "# stopped $(( ($(date +%s%N) - started) / 1000000 )) ms after sc stop"
check "and the server with it" eventually no_server

# Both stops ask the server first. In verbose mode the stand-in says in its log that it was
# asked; the service's stop reports its progress while it waits.
printf 'parameter=-d\r\n' >>"$work/p/Server.INI"
asked() { [ "$(grep -cF 'Ending: new associations are refused' "$logs/ZarvoServer.log")" -eq "$1" ]; }
wine sc start ZarvoServer >/dev/null 2>&1 </dev/null
eventually has_server
wine sc stop ZarvoServer >/dev/null 2>&1 </dev/null
check "sc stop asks the server to end before it ends it" eventually asked 1
eventually in_state STOPPED && eventually no_server
wine sc start ZarvoServer >/dev/null 2>&1 </dev/null
eventually has_server
ended=$(ctl --json stop --graceful 10)
# Wine does not always hand a Ctrl+C from a program without a console to the service's
# server, which then ends hard after the grace: either end is an end, said as such.
check "VeltronaCtl stop --graceful ends the service's server and says how" \
    eval 'grep -qE "\"how\":\"(graceful|killed)\"" <<<"$ended"'
check "and the service stops with it" eventually in_state STOPPED
sleep 2
check "starting no server again" no_server

# --log names another file, kept in the service's command line; its folder made for the account.
ctl service install --start manual --log "$windows_work\\out\\server.log" >/dev/null
check "--log names another log file in the service's command line" test "$(image_path)" = \
    "\"$windows_work\\p\\VeltronaCtl.exe\" service host --log \"$windows_work\\out\\server.log\""
wine sc start ZarvoServer >/dev/null 2>&1 </dev/null
logged_there() { grep -qF "ZarvoServer stand-in: AE title" "$work/out/server.log" 2>/dev/null; }
check "where the server's output goes" eventually logged_there
wine sc stop ZarvoServer >/dev/null 2>&1 </dev/null
eventually in_state STOPPED && eventually no_server

ctl service remove >"$work/remove.log"
check "service remove succeeds" grep -qx 'Service ZarvoServer removed' "$work/remove.log"
check "the service is gone" test -z "$(state)"
check "and its event source" bash -c '! wine reg query "$0" >/dev/null 2>&1 </dev/null' \
    'HKLM\System\CurrentControlSet\Services\EventLog\Application\ZarvoServer'

# Without the service: run waits for the server it started and passes on its exit status.
wine "$work/p/VeltronaCtl.exe" run </dev/null >/dev/null 2>&1 &
run_pid=$!
check "run starts the server" eventually has_server
wine "$end_process" "$(server_id)" 5 </dev/null
wait $run_pid
check "and ends with its exit status" test $? -eq 5

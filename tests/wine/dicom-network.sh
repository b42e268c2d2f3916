#!/usr/bin/env bash
# DICOM between Linux and the Windows programs under Wine, end to end: Debian's echoscu and
# storescu against the Windows stand-in ZarvoServer.exe; VeltronaCtl.exe echo and check
# against it and against a Linux server; the stand-in suspended (SIGSTOP) and stopped.
#
#   dicom-network.sh NAME PROGRAM_DIR SAMPLE_DUMP
#                                  (in the Wine prefix of scripts/windows-tests.sh)
#
# VELTRONA_LINUX_STANDIN names the Linux stand-in (bin/ZarvoServer.exe of a Linux build);
# without one, Debian's storescp serves the Linux side. Ends with "N passed, M failed"; with
# VELTRONA_CASE_COUNTS set, adds "NAME PASSED FAILED 0" to that file as
# tests/wine/run-suite.sh does.
set -uo pipefail
name=$1
programs=$2
sample_dump=$3
linux_server=${VELTRONA_LINUX_STANDIN:-}

passed=0
failed=0
work=$(mktemp -d /tmp/veltrona-dicom.XXXXXX)
server_pid= linux_pid=
finish() {
    [ -z "$server_pid" ] || kill -CONT "$server_pid" 2>/dev/null
    [ -z "$server_pid" ] || kill "$server_pid" 2>/dev/null
    [ -z "$linux_pid" ] || kill "$linux_pid" 2>/dev/null
    wait 2>/dev/null
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
# Waits up to 30 s for COMMAND to succeed.
eventually() {
    local i
    for i in $(seq 300); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}
# VeltronaCtl.exe on the program folder; its output in $work/out, its exit status returned.
# A hang is cut off after 60 s (exit 124).
ctl() {
    timeout 60 wine "$work/p/VeltronaCtl.exe" "$@" 2>&1 </dev/null | tr -d '\r' >"$work/out"
    return "${PIPESTATUS[0]}"
}
says() { grep -qE "$1" "$work/out" || { cat "$work/out"; false; }; }
ctl_says() {
    local want=$1 pattern=$2 status=0
    shift 2
    ctl "$@" || status=$?
    [ "$status" -eq "$want" ] || { echo "exit $status, not $want"; cat "$work/out"; return 1; }
    says "$pattern"
}
free_port() {
    local port
    while :; do
        port=$((20000 + RANDOM % 20000))
        ! ss -Htln "sport = :$port" | grep -q . && echo "$port" && return
    done
}
dcm_echo() { echoscu -to 5 -aec "$1" 127.0.0.1 "$2" >/dev/null 2>&1; }

mkdir -p "$work/p" "$work/images"
cp "$programs/VeltronaCtl.exe" "$programs/ZarvoServer.exe" "$work/p/"
dump2dcm +Ug +te "$sample_dump" "$work/sample.dcm" || exit 1
uid=$(dcmdump +P SOPInstanceUID "$work/sample.dcm" | sed -nE 's/.*\[([0-9.]+)\].*/\1/p')
port=$(free_port)
windows_images="Z:${work//\//\\}\\images"
printf -- '-aet = WINSTORE\r\nPort = %s\r\n-od = %s\\\r\n' "$port" "$windows_images" >"$work/p/Server.INI"

# The stand-in with the window's command line. $! is the Wine process of ZarvoServer.exe
# itself: the wine launcher execs into it.
wine "$work/p/ZarvoServer.exe" -dw -od "$windows_images" -aet WINSTORE "$port" \
    >"$work/server.log" 2>&1 </dev/null &
server_pid=$!

check "Linux echoscu is answered by the Windows stand-in" eventually dcm_echo WINSTORE "$port"
check "the Windows stand-in refuses another called AE title" eval '! dcm_echo OTHER "$port"'
# The data set arrives bit for bit; the file's meta header is the receiver's own (its
# implementation, the sender's AE title), so group 0002 is left out of the comparison.
dataset() { dcmdump "$1" 2>&1 | grep -v '^(0002,'; }
stored() { cmp -s <(dataset "$work/sample.dcm") <(dataset "$work/images/$uid.dcm"); }
send() { storescu -to 10 -aec WINSTORE 127.0.0.1 "$port" "$work/sample.dcm" >/dev/null 2>&1; }
check "Linux storescu stores an image with the Windows stand-in" send
check "the image lies in the image folder under its SOP Instance UID" stored
check "the same image sent again replaces the file" send
check "no other file is left in the image folder" \
    eval '[ "$(ls -A "$work/images")" = "$uid.dcm" ]'

check "VeltronaCtl.exe echo is answered by the Windows stand-in" \
    ctl_says 0 '^C-ECHO to WINSTORE at 127\.0\.0\.1:[0-9]+ answered in ' echo --port "$port" --aet WINSTORE
# Wine's TCP table names no holder of a listening socket; the answered C-ECHO settles it.
# The disk limits are off: the host's free space is not what this judges.
check "VeltronaCtl.exe check is OK for the serving stand-in" \
    ctl_says 0 '^ZARVO OK - ZarvoServer\.exe runs .*C-ECHO to WINSTORE answered' \
    check --timeout 5 --disk-warn 0 --disk-crit 0

# A Linux server: the Linux stand-in, or Debian's storescp.
linux_port=$(free_port)
if [ -n "$linux_server" ]; then
    "$linux_server" -dw -od "$work/linux-images" -aet LINUXSTORE "$linux_port" >/dev/null 2>&1 &
    linux_kind="Linux stand-in"
else
    storescp -aet LINUXSTORE -od "$work/images" "$linux_port" >/dev/null 2>&1 &
    linux_kind="Linux storescp"
fi
linux_pid=$!
eventually dcm_echo LINUXSTORE "$linux_port"
check "VeltronaCtl.exe echo is answered by the $linux_kind" \
    ctl_says 0 '^C-ECHO to LINUXSTORE at 127\.0\.0\.1:[0-9]+ answered in ' \
    echo --port "$linux_port" --aet LINUXSTORE
check "VeltronaCtl.exe echo with a sub-second timeout is answered by the $linux_kind" \
    ctl_says 0 ' answered in ' echo --port "$linux_port" --aet LINUXSTORE --timeout 0.5

# Suspended: the connection is made (the system accepts it), no DICOM answer comes.
kill -STOP "$server_pid"
check "VeltronaCtl.exe echo to the suspended stand-in ends with the timeout" \
    ctl_says 1 'no DICOM answer .* within 700 ms' echo --port "$port" --aet WINSTORE --timeout 0.7
check "VeltronaCtl.exe check is CRITICAL for the suspended stand-in" \
    ctl_says 2 '^ZARVO CRITICAL - ' check --timeout 2
kill -CONT "$server_pid"
check "the stand-in answers again once it runs on" eventually dcm_echo WINSTORE "$port"

# Stopped.
kill "$server_pid"
wait "$server_pid" 2>/dev/null
server_pid=
check "VeltronaCtl.exe echo to the stopped stand-in says the connection is refused" \
    ctl_says 1 "cannot connect to 127\.0\.0\.1:$port: " echo --port "$port" --aet WINSTORE --timeout 2
check "VeltronaCtl.exe check is CRITICAL for the stopped stand-in" \
    ctl_says 2 '^ZARVO CRITICAL - ' check --timeout 2

#!/usr/bin/env bash
# Checks the Windows packages of a mingw-w64 build folder: builds the installer and the ZIP
# with CPack, installs the installer silently into a fresh 64-bit Wine prefix (default
# folder, "C:\Program Files\Veltrona Administration"), starts the installed tool under a
# private Xvfb with openbox, closes its window through the window manager and checks the
# settings file it wrote; then installs again over it, as an upgrade does, uninstalls
# silently and checks that only the administrator's settings file is left. Then, as an
# administrator with the real server would: installs into a folder that holds a
# ZarvoServer.exe of its own, which the install and the uninstall leave byte for byte; a
# second install into another folder is refused; a server copied over the demo server
# after the install is kept by the uninstall.
#   bash tests/acceptance/windows-package-check.sh BUILD_DIR
# Nothing outside its temporary folder changes. Ends with "N passed, M failed"; exits
# non-zero on any failure and when nothing was checked.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
source "$here/windows/wine.sh"

build=$(accept_build_folder "${1:-build-windows}")
title="Zarvo Server Einstellungen"
install_dir='C:\Program Files\Veltrona Administration'
menu_dir='C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Veltrona Administration'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Veltrona Administration'

passed=0
failed=0
summary() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
}
# check NAME COMMAND...: one counted result.
check() {
    if "${@:2}"; then
        echo "ok - $1"
        passed=$((passed + 1))
    else
        echo "not ok - $1"
        failed=$((failed + 1))
        return 1
    fi
}
# What the later checks cannot do without: counted as a failure, and the run ends there.
require() {
    check "$@" || {
        summary
        exit 1
    }
}

accept_install_packages || {
    failed=1
    summary
    exit 1
}
accept_work_folder veltrona-winpkg

# ---- the packages ------------------------------------------------------------------------

build_packages() {
    cmake --build "$build" -j2 >"$work/build.log" 2>&1 || { tail -n 30 "$work/build.log"; return 1; }
    rm -f "$build"/veltrona-administration-*-win64.{exe,zip}
    # The programs' time stamps from the last commit: both packages get the same bytes.
    export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$ACCEPT_REPO" log -1 --format=%ct 2>/dev/null || echo 1)}
    (cd "$build" && cpack -G NSIS && cpack -G ZIP) >"$work/cpack.log" 2>&1 || { tail -n 30 "$work/cpack.log"; return 1; }
    installer=$(ls "$build"/veltrona-administration-*-win64.exe 2>/dev/null | head -n 1)
    archive=$(ls "$build"/veltrona-administration-*-win64.zip 2>/dev/null | head -n 1)
    [ -s "$installer" ] && [ -s "$archive" ]
}
require "packages built with cpack -G NSIS and -G ZIP" build_packages
echo "# $(basename "$installer") $(stat -c %s "$installer") bytes, $(basename "$archive") $(stat -c %s "$archive") bytes"
check "the installer is a 64-bit program" \
    bash -c 'x86_64-w64-mingw32-objdump -f "$1" | grep -q "file format pei-x86-64"' _ "$installer"

# The programs of the Windows build are the programs the packages ship.
programs=(ZarvoServer.exe VeltronaAdmin.exe VeltronaCtl.exe)
echo "# programs: ${programs[*]}"
mkdir "$work/zip"
(cd "$work/zip" && cmake -E tar xf "$archive")
zip_folder="$work/zip/$(basename "$archive" .zip)"
check "the ZIP holds one program folder with exactly the programs" \
    test "$(ls "$zip_folder" 2>/dev/null | sort)" = "$(printf '%s\n' "${programs[@]}" | sort)"
# An administrator runs the tool elevated (Program Files), a standard user as himself;
# any requested level keeps UAC from redirecting the settings to a per-user copy.
check "VeltronaAdmin.exe asks for the highest rights its user has" \
    grep -aqE 'requestedExecutionLevel[^>]*level=.highestAvailable.' "$zip_folder/VeltronaAdmin.exe"
check "VeltronaAdmin.exe names Windows 7 to 11 as supported" bash -c '
    for id in 35138b9a-5d96-4fbd-8e2d-a2440225f93a 4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 \
        1f676c76-80e1-4239-95bb-83d0f6d0da78 8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a; do
        grep -aqF "<supportedOS Id=\"{$id}\"/>" "$1" || exit 1
    done' _ "$zip_folder/VeltronaAdmin.exe"
# The version of the packages' names is the one in each program's version information.
version=$(basename "$installer" -win64.exe)
version=${version#veltrona-administration-}
version_info() {
    local rc
    rc=$(x86_64-w64-mingw32-windres -J coff -O rc -i "$1") || return 1
    grep -q 'RT_GROUP_ICON' <<<"$rc" &&
        grep -qF 'VALUE "ProductName", "Veltrona Administration"' <<<"$rc" &&
        grep -qF "VALUE \"FileVersion\", \"$version\"" <<<"$rc" &&
        grep -qF "VALUE \"ProductVersion\", \"$version\"" <<<"$rc" &&
        grep -qF 'VALUE "CompanyName", "Veltrona"' <<<"$rc" &&
        grep -qE 'VALUE "LegalCopyright", "Copyright .+"' <<<"$rc" &&
        grep -qE 'VALUE "FileDescription", ".+"' <<<"$rc" &&
        grep -qF "VALUE \"OriginalFilename\", \"$(basename "$1")\"" <<<"$rc"
}
for program in "${programs[@]}"; do
    check "$program carries the icon and the version information of $version" \
        version_info "$zip_folder/$program"
done

# ---- install -----------------------------------------------------------------------------

accept_start_x "$work" || {
    failed=$((failed + 1))
    summary
    exit 1
}
require "fresh 64-bit Wine prefix" wine_new_prefix "$work/prefix"
for program in "${programs[@]}"; do
    check "$program needs no DLL beyond the system's" pe_needs_system_dlls_only "$zip_folder/$program"
done
folder=$(wine_unix_path "$install_dir")
menu=$(wine_unix_path "$menu_dir")
# Wine's icacls changes nothing, and Wine shows every file the same made-up permissions: in
# its place a program that records what the installer asks of it (tests/windows).
icacls_log="$work/icacls.txt"
cp "$build/tests/windows/record_arguments.exe" "$WINEPREFIX/drive_c/windows/system32/icacls.exe"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;icacls.exe=n"
export VELTRONA_RECORD_ARGUMENTS="Z:${icacls_log//\//\\}"

# Silent mode needs no display; the installer ends when everything is in place.
install_silently() {
    wine "$installer" /S >>"$work/install.log" 2>&1 </dev/null && wine_wait_idle 120
}
require "installs silently into $install_dir" install_silently
expected_files=$(printf '%s\n' "${programs[@]}" Uninstall.exe | sort)
check "the program folder holds the programs and the uninstaller, nothing else" \
    test "$(ls "$folder" 2>/dev/null | sort)" = "$expected_files"
same_as_zip() {
    local program
    for program in "${programs[@]}"; do
        cmp -s "$folder/$program" "$zip_folder/$program" || return 1
    done
}
check "the installed programs are those of the ZIP" same_as_zip
check "the rights of Program Files are left as they are" test ! -e "$icacls_log"
check "Start-menu entry for the tool" test -f "$menu/Veltrona Administration.lnk"
check "Start-menu entry for the uninstaller" test -f "$menu/Uninstall.lnk"
registered() {
    wine reg query "$uninstall_key" /v UninstallString 2>/dev/null </dev/null |
        tr -d '\r' | grep -qF "\"$install_dir\\Uninstall.exe\""
}
check "uninstaller registered with Windows" registered
# reg_value NAME: a value of the uninstall entry.
reg_value() {
    wine reg query "$uninstall_key" /v "$1" 2>/dev/null </dev/null | tr -d '\r' |
        awk -v name="$1" '$1 == name { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'
}
# The entry's size, in KiB, is that of the programs in FOLDER that the installer put there.
size_registered() {
    local folder=$1 bytes=0 program kib
    shift
    for program in "$@"; do
        bytes=$((bytes + $(stat -c %s "$folder/$program")))
    done
    kib=$(($(reg_value EstimatedSize)))
    [ $((bytes / 1024 - 8)) -le "$kib" ] && [ "$kib" -le $((bytes / 1024 + 8)) ] ||
        { echo "# EstimatedSize $kib KiB for $bytes bytes" >&2; return 1; }
}
check "the uninstall entry shows version $version and the publisher" \
    test "$(reg_value DisplayVersion)/$(reg_value Publisher)" = "$version/Veltrona"
check "the uninstall entry shows the size of the programs and the demo server" \
    size_registered "$folder" "${programs[@]}"
[[ " ${programs[*]} " == *" VeltronaAdmin.exe "* ]] &&
    check "the uninstall entry shows the tool's icon" \
        test "$(reg_value DisplayIcon)" = "$install_dir\VeltronaAdmin.exe,0"

# ---- the installed tool --------------------------------------------------------------------

start_tool "$folder" "$work/tool.log" wine "$install_dir\\VeltronaAdmin.exe"
window=$(wait_window "$title" 90)
check "the installed tool shows its window" test -n "$window"
[ -n "$window" ] && request_close "$window"
check "the tool ends after the close request" wait_tool_exit 30
check "exit status 0" test "${TOOL_STATUS:-}" = 0
check "the close wrote Server.ini into the program folder" \
    cmp -s "$folder/Server.ini" \
    <(empty_settings)
settings=$(sha256sum <"$folder/Server.ini" 2>/dev/null)

# ---- upgrade and uninstall ------------------------------------------------------------------

# Installing over an installed version uninstalls that one first.
require "installs again over the installed version" install_silently
check "the new install keeps the settings file" test "$(sha256sum <"$folder/Server.ini")" = "$settings"
check "the new install holds the programs again" \
    test "$(ls "$folder" | sort)" = "$(printf '%s\n' "$expected_files" Server.ini | sort)"

# The uninstaller copies itself to the temporary folder, starts that copy and ends at once.
uninstall_silently() {
    wine "$install_dir\\Uninstall.exe" /S >>"$work/uninstall.log" 2>&1 </dev/null && wine_wait_idle 120
}
check "uninstalls silently" uninstall_silently
check "only Server.ini is left in the program folder (the demo server is gone)" \
    test "$(ls -A "$folder" 2>/dev/null)" = Server.ini
check "the settings file keeps its bytes" test "$(sha256sum <"$folder/Server.ini")" = "$settings"
check "Start-menu folder removed" test ! -e "$menu"
check "uninstaller no longer registered" bash -c '! wine reg query "$1" </dev/null >/dev/null 2>&1' _ "$uninstall_key"

# ---- beside a server of the administrator's -------------------------------------------------

# install_into 'C:\Folder': a silent install there; its exit status.
install_into() {
    wine "$installer" /S "/D=$1" >>"$work/install.log" 2>&1 </dev/null
    local status=$?
    wine_wait_idle 120
    return $status
}
uninstall_from() {
    wine "$1\\Uninstall.exe" /S >>"$work/uninstall.log" 2>&1 </dev/null && wine_wait_idle 120
}
tool_programs=()
for program in "${programs[@]}"; do
    [ "$program" = ZarvoServer.exe ] || tool_programs+=("$program")
done

# Rights that cannot be set leave the folder open to others: nothing is installed.
VELTRONA_RECORD_ARGUMENTS='Z:\no\such\folder\icacls.txt' install_into 'C:\Open'
status=$?
check "an install whose folder rights cannot be set is refused (exit $status)" test "$status" -eq 2
check "and leaves neither the folder nor an entry" bash -c '
    [ ! -e "$1" ] && ! wine reg query "$2" </dev/null >/dev/null 2>&1' _ "$(wine_unix_path 'C:\Open')" "$uninstall_key"

server_dir='C:\Zarvo'
server_folder=$(wine_unix_path "$server_dir")
mkdir -p "$server_folder"
# Some other program than the stand-in, by its bytes.
{ printf 'MZ'; head -c 65536 /dev/urandom; } >"$work/real-server.exe"
cp "$work/real-server.exe" "$server_folder/ZarvoServer.exe"
require "installs into a folder that holds a server" install_into "$server_dir"
# Outside Program Files, only administrators may change the folder.
protected() {
    printf '"C:\\windows\\system32\\icacls.exe" "%s" %s\n' "$server_dir" '/setowner *S-1-5-32-544' \
        "$server_dir" '/inheritance:r /grant:r *S-1-5-32-544:(OI)(CI)F *S-1-5-18:(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX' |
        cmp -s - <(tr -d '\r' <"$icacls_log") || { cat "$icacls_log" >&2; return 1; }
}
check "the folder's rights: administrators and SYSTEM full, users read and execute, nothing inherited" protected
check "the server there keeps its bytes" cmp -s "$server_folder/ZarvoServer.exe" "$work/real-server.exe"
check "the tool and the uninstaller lie beside it" \
    test "$(ls "$server_folder" | sort)" = "$(printf '%s\n' "${programs[@]}" Uninstall.exe | sort)"
check "the uninstall entry's size leaves that server out" \
    size_registered "$server_folder" "${tool_programs[@]}"

# One installation at a time: another folder is refused, the first one stays as it was.
other_dir='C:\Other'
install_into "$other_dir"
status=$?
check "a second install into another folder is refused (exit $status)" test "$status" -ne 0
check "the refused folder is not made" test ! -e "$(wine_unix_path "$other_dir")"
check "the first installation stays registered and complete" bash -c '
    [ "$1" = "$2" ] && [ -f "$3/Uninstall.exe" ]' _ "$(reg_value InstallLocation)" "$server_dir" "$server_folder"

check "uninstalls from beside the server" uninstall_from "$server_dir"
check "the uninstall keeps the server, byte for byte, and nothing else" bash -c '
    [ "$(ls -A "$1")" = ZarvoServer.exe ] && cmp -s "$1/ZarvoServer.exe" "$2"' \
    _ "$server_folder" "$work/real-server.exe"

# The demo server, replaced by the real one after the install, is the administrator's.
demo_dir='C:\Demo'
demo_folder=$(wine_unix_path "$demo_dir")
require "installs with the demo server" install_into "$demo_dir"
check "the demo server is the stand-in" cmp -s "$demo_folder/ZarvoServer.exe" "$zip_folder/ZarvoServer.exe"
cp "$work/real-server.exe" "$demo_folder/ZarvoServer.exe"
check "uninstalls after the server was replaced" uninstall_from "$demo_dir"
check "the uninstall keeps the server that replaced the demo server" bash -c '
    [ "$(ls -A "$1")" = ZarvoServer.exe ] && cmp -s "$1/ZarvoServer.exe" "$2"' \
    _ "$demo_folder" "$work/real-server.exe"

# ---- the service of an installed folder ----------------------------------------------------

service_dir='C:\Service'
service_folder=$(wine_unix_path "$service_dir")
service_key='HKLM\System\CurrentControlSet\Services\ZarvoServer'
require "installs with the demo server, for a service" install_into "$service_dir"
printf 'Port = %s\r\n' $((20000 + RANDOM % 20000)) >"$service_folder/Server.ini"
service_state() {
    wine sc query ZarvoServer 2>/dev/null </dev/null | tr -d '\r' |
        sed -nE 's/.*STATE *: *[0-9]+ *([A-Z_]+).*/\1/p'
}
service_runs() {
    local i
    for i in $(seq 100); do
        [ "$(service_state)" = RUNNING ] && return 0
        sleep 0.2
    done
    return 1
}
wine "$service_dir\\VeltronaCtl.exe" service install --start manual >>"$work/service.log" 2>&1 </dev/null
wine sc start ZarvoServer >>"$work/service.log" 2>&1 </dev/null
require "the installed VeltronaCtl.exe runs the service ZarvoServer" service_runs
# The installer itself ends when it is done; the prefix stays busy with the service.
wine "$installer" /S "/D=$service_dir" >>"$work/install.log" 2>&1 </dev/null
status=$?
check "an install over the program of the running service is refused (exit $status)" test "$status" -eq 2
check "and the service runs on" test "$(service_state)" = RUNNING
check "uninstalls the folder of the running service" uninstall_from "$service_dir"
check "the uninstaller stopped and removed the service first" \
    bash -c '! wine reg query "$1" </dev/null >/dev/null 2>&1' _ "$service_key"
check "no server of that service runs" test -z "$(wine_pids_named ZarvoServer.exe)"
check "and the programs are gone, Server.ini and the server's logs kept" \
    test "$(LC_ALL=C ls -A "$service_folder" | tr '\n' ' ')" = "Server.ini logs "

summary

#!/usr/bin/env bash
# Checks the Windows packages of a mingw-w64 build folder: builds the installer and the ZIP
# with CPack, installs the installer silently into a fresh 64-bit Wine prefix (default
# folder, "C:\Program Files\Veltrona Administration"), starts the installed tool under a
# private Xvfb with openbox, closes its window through the window manager and checks the
# settings file it wrote; then installs again over it, as an upgrade does, uninstalls
# silently and checks that only the administrator's settings file is left.
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
# Program Files is written by administrators only; the tool asks for elevation instead
# of being redirected to a per-user copy of its settings.
check "VeltronaAdmin.exe asks to run as administrator" \
    grep -aqE 'requestedExecutionLevel[^>]*level=.requireAdministrator.' "$zip_folder/VeltronaAdmin.exe"

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
check "Start-menu entry for the tool" test -f "$menu/Veltrona Administration.lnk"
check "Start-menu entry for the uninstaller" test -f "$menu/Uninstall.lnk"
registered() {
    wine reg query "$uninstall_key" /v UninstallString 2>/dev/null </dev/null |
        tr -d '\r' | grep -qF "\"$install_dir\\Uninstall.exe\""
}
check "uninstaller registered with Windows" registered

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
check "only Server.ini is left in the program folder" test "$(ls -A "$folder" 2>/dev/null)" = Server.ini
check "the settings file keeps its bytes" test "$(sha256sum <"$folder/Server.ini")" = "$settings"
check "Start-menu folder removed" test ! -e "$menu"
check "uninstaller no longer registered" bash -c '! wine reg query "$1" </dev/null >/dev/null 2>&1' _ "$uninstall_key"

summary

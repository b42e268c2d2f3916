#!/bin/sh
# Runs a command in a copy of the current Wine prefix whose screen has DPI pixels per inch
# (the registry's LogPixels, which Wine reads when its server starts), with
# VELTRONA_TEST_DPI naming that value for the suites. The copy is removed afterwards, with
# every process of it: the prefix of the other entries stays at its own DPI.
#
#   run-at-dpi.sh DPI COMMAND [ARGUMENTS...]
dpi=$1
shift
if [ -z "${WINEPREFIX:-}" ] || [ ! -d "$WINEPREFIX" ]; then
    echo "run-at-dpi: WINEPREFIX names no prefix to copy" >&2
    exit 1
fi
copy=$(mktemp -d "${TMPDIR:-/tmp}/veltrona-wine-dpi$dpi.XXXXXX") || exit 1
cleanup() {
    WINEPREFIX=$copy wineserver -k >/dev/null 2>&1
    rm -rf "$copy"
}
trap cleanup EXIT
cp -a "$WINEPREFIX/." "$copy/" || exit 1
export WINEPREFIX=$copy VELTRONA_TEST_DPI=$dpi
# The server and the helpers that the change starts keep no pipe of the caller open.
if ! wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f \
    >/dev/null 2>&1 </dev/null; then
    echo "run-at-dpi: LogPixels cannot be set to $dpi" >&2
    exit 1
fi
wineserver -k >/dev/null 2>&1
wineserver -w >/dev/null 2>&1
"$@"

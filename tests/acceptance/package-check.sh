#!/usr/bin/env bash
# Checks the Debian package on this machine: builds it, installs it with apt (which pulls its
# dependencies), starts the installed launcher as an unprivileged member of veltrona-admin
# under a private Xvfb, waits for the window, closes it, checks that Server.ini was written
# into the program folder, then purges the package and removes the test account.
#   bash tests/acceptance/package-check.sh BUILD_DIR
# It changes the system (a package, a group, a user), so no test suite runs it; run as root.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=${1:-build}
[[ $build == /* ]] || build="$repo/$build"
folder=/opt/veltrona-administration
user=veltrona-check

source "$here/lib.sh"
[ "$(id -u)" -eq 0 ] || {
    echo "package-check: run as root" >&2
    exit 1
}
if dpkg-query -W veltrona-administration >/dev/null 2>&1; then
    echo "package-check: veltrona-administration is already installed; not touching it" >&2
    exit 1
fi
accept_install_packages || exit 1

work=$(mktemp -d /tmp/veltrona-package.XXXXXX)
chmod 755 "$work"
cleanup() {
    accept_cleanup
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq veltrona-administration >/dev/null 2>&1
    userdel "$user" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

check() {
    if "${@:2}"; then
        echo "ok - $1"
    else
        echo "not ok - $1"
        exit 1
    fi
}

(cd "$build" && cpack -G DEB >"$work/cpack.log" 2>&1) || {
    cat "$work/cpack.log"
    exit 1
}
deb=$(ls -t "$build"/veltrona-administration_*.deb | head -n 1)
cp "$deb" "$work/"
check "package built: $(basename "$deb")" test -s "$deb"
apt_install() {
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$1" >"$work/apt.log" 2>&1 ||
        { cat "$work/apt.log"; return 1; }
}
check "installs with apt" apt_install "$work/$(basename "$deb")"
check "program folder holds both programs" test -x "$folder/VeltronaAdmin" -a -x "$folder/ZarvoServer.exe"
check "program folder writable by veltrona-admin" \
    test "$(stat -c '%G %a' "$folder")" = "veltrona-admin 2775"
check "launcher and desktop entry" \
    test -x /usr/bin/veltrona-administration -a -f /usr/share/applications/veltrona-administration.desktop

useradd --no-create-home --groups veltrona-admin "$user"
accept_start_x "$work" || exit 1
install -d -m 700 -o "$user" "$work/runtime"
runuser -u "$user" -- env DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb HOME="$work/runtime" XDG_RUNTIME_DIR="$work/runtime" \
    /usr/bin/veltrona-administration >"$work/tool.log" 2>&1 &
TOOL_PID=$!
ACCEPT_PIDS+=("$TOOL_PID")
window=$(wait_window "Zarvo Server Einstellungen" 60)
check "window mapped from the installed launcher" test -n "$window"
screenshot "$window" "$work/installed.png"
request_close "$window"
check "tool ended after the close request" wait_tool_exit 30
check "Server.ini written into the program folder by the group member" \
    test "$(stat -c %U "$folder/Server.ini" 2>/dev/null)" = "$user"
DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq veltrona-administration >/dev/null
check "purge leaves nothing behind" test ! -e "$folder" -a ! -e /usr/bin/veltrona-administration

#!/usr/bin/env bash
# Checks the Debian package on this machine: builds it with cpack in BUILD_DIR and installs it
# with dpkg -i, twice.
#   1. A fresh install: only root may write the program folder, the folders on its path and
#      the programs the /usr/bin links run; a member of veltrona-admin can neither replace
#      ZarvoServer.exe nor add files there, but changes the settings in /etc/veltrona with
#      veltronactl and through the window (under a private Xvfb), which keep the file
#      root:veltrona-admin 0660; root's veltronactl refuses a link a member put in its place;
#      the purge leaves nothing behind.
#   2. An install over the earlier layout (a group-writable program folder holding the
#      settings a member wrote): those settings end up byte for byte in /etc/veltrona and the
#      program folder is root's again, holding the link only.
#   bash tests/acceptance/package-check.sh BUILD_DIR
# It changes the system (a package, a group, users), so no test suite runs it; run as root.
# Ends with one line "N passed, M failed".
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
build=$(accept_build_folder "${1:-build}")
package=veltrona-administration
folder=/opt/$package
data=/etc/veltrona
settings=$data/Server.INI
group=veltrona-admin
user=veltrona-check

passed=0
failed=0
work=""
secret=""
made_group=0
finish() {
    accept_cleanup
    if dpkg-query -W "$package" >/dev/null 2>&1 || [ -e "$folder" ] || [ -e "$data" ]; then
        dpkg --purge "$package" >/dev/null 2>&1
        rm -rf "$data" "$folder"
    fi
    userdel "$user" 2>/dev/null
    [ $made_group -eq 1 ] && groupdel "$group" 2>/dev/null
    [ -n "$secret" ] && rm -f "$secret"
    [ -n "$work" ] && rm -rf "$work"
    # A run that checked nothing proves nothing.
    [ $((passed + failed)) -gt 0 ] || failed=1
    echo "$passed passed, $failed failed"
    [ $failed -eq 0 ] || exit 1
}
trap finish EXIT
trap 'exit 130' INT TERM

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

# A failure after which nothing else can be checked.
give_up() {
    echo "package-check: $1" >&2
    failed=$((failed + 1))
    exit 1
}

[ "$(id -u)" -eq 0 ] || give_up "run as root"
if dpkg-query -W "$package" >/dev/null 2>&1 || [ -e "$folder" ] || [ -e "$data" ]; then
    trap - EXIT
    echo "package-check: $package, $folder or $data is already there; not touching it" >&2
    echo "0 passed, 1 failed"
    exit 1
fi
getent group "$group" >/dev/null || made_group=1
accept_install_packages || give_up "the X server and tools could not be installed"

work=$(mktemp -d /tmp/veltrona-package.XXXXXX)
chmod 755 "$work"

as_member() { (cd / && runuser -u "$user" -- "$@"); }
# not COMMAND...: COMMAND failed (its complaint kept out of the report).
not() { ! "$@" 2>/dev/null; }

# Every entry that root runs or passes through on the way to the programs and that another
# user owns, or that group or others may write (links have no mode of their own).
unsafe_entries() {
    find / /opt /usr /usr/bin -maxdepth 0 \( ! -user root -o -perm /022 \) -print
    find "$folder" "$(readlink -f /usr/bin/veltronactl)" "$(readlink -f /usr/bin/$package)" \
        \( ! -user root -o \( ! -type l -perm /022 \) -o -perm /6000 \) -print
}
no_unsafe_entries() {
    local found
    found=$(unsafe_entries 2>&1)
    [ -z "$found" ] || { sed 's/^/  /' <<<"$found"; return 1; }
}
other_users_cannot_read() {
    test -f "$settings" && ! setpriv --reuid=nobody --regid=nogroup --clear-groups cat "$settings" >/dev/null 2>&1
}
owner_group_mode() { test "$(stat -c '%U %G %a' "$1" 2>/dev/null)" = "$2"; }
settings_kept() { owner_group_mode "$settings" "root $group 660"; }
has_setting() { tr -d "\r" <"$settings" 2>/dev/null | grep -qx -- "$1"; }
folder_holds_only_link() {
    test "$(ls -A "$folder" | tr '\n' ' ')" = "Server.INI VeltronaAdmin VeltronaCtl ZarvoServer.exe " &&
        test -L "$folder/Server.INI" && test "$(readlink "$folder/Server.INI")" = "$settings"
}
system_group() {
    local gid
    gid=$(getent group "$group" | cut -d: -f3)
    [ -n "$gid" ] && [ "$gid" -lt 1000 ]
}
dpkg_install() {
    dpkg -i "$deb" >"$work/dpkg.log" 2>&1 && return 0
    DEBIAN_FRONTEND=noninteractive apt-get -f install -y -qq >>"$work/dpkg.log" 2>&1 &&
        dpkg-query -W -f='${Status}' "$package" | grep -q 'ok installed' && return 0
    cat "$work/dpkg.log"
    return 1
}
purged_clean() {
    dpkg --purge "$package" >"$work/purge.log" 2>&1 || { cat "$work/purge.log"; return 1; }
    test ! -e "$folder" -a ! -e "$data" -a ! -L /usr/bin/veltronactl -a ! -L /usr/bin/$package \
        -a ! -e /usr/share/applications/$package.desktop -a ! -e /lib/systemd/system/zarvo-server.service
}

(cd "$build" && cpack -G DEB >"$work/cpack.log" 2>&1) || {
    cat "$work/cpack.log" 2>/dev/null
    give_up "cpack failed in $build"
}
deb=$(ls -t "$build"/${package}_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || give_up "cpack made no package in $build"
cp "$deb" "$work/"
deb="$work/$(basename "$deb")"
echo "package: $(basename "$deb")"

# 1. A fresh install.
check "installs with dpkg -i" dpkg_install || exit 1
check "veltrona-admin is a system group" system_group
check "programs, launchers and desktop entry installed" \
    test -x "$folder/VeltronaAdmin" -a -x "$folder/VeltronaCtl" -a -x "$folder/ZarvoServer.exe" \
    -a -x /usr/bin/veltronactl -a -x /usr/bin/$package -a -f /usr/share/applications/$package.desktop
unit=/lib/systemd/system/zarvo-server.service
check "zarvo-server.service installed, runs veltronactl run" grep -qx 'ExecStart=/usr/bin/veltronactl run' "$unit"
check "and passes systemd-analyze verify" systemd-analyze verify "$unit"
check "and is not enabled" test -z "$(find /etc/systemd/system -name zarvo-server.service 2>/dev/null)"
check "what root runs, and the folders on its way, only root may write" no_unsafe_entries
check "the program folder holds the programs and a link to $settings" folder_holds_only_link
check "$data is root $group 2770" owner_group_mode "$data" "root $group 2770"
check "an empty $settings, root $group 660" \
    bash -c 'test -f "$1" -a ! -s "$1" -a ! -L "$1" && test "$(stat -c "%U %G %a" "$1")" = "root $2 660"' \
    _ "$settings" "$group"

useradd --no-create-home --groups "$group" "$user" || give_up "useradd $user failed"
server_before=$(sha256sum <"$folder/ZarvoServer.exe")
check "a member cannot rename ZarvoServer.exe" \
    not as_member mv "$folder/ZarvoServer.exe" "$folder/ZarvoServer.old"
check "a member cannot overwrite ZarvoServer.exe" \
    not as_member sh -c 'printf "#!/bin/sh\nid\n" >"$0"' "$folder/ZarvoServer.exe"
check "ZarvoServer.exe is still the package's" test "$(sha256sum <"$folder/ZarvoServer.exe")" = "$server_before"
check "a member cannot create files in the program folder" \
    not as_member touch "$folder/planted"
check "users outside the group cannot read $settings" other_users_cannot_read

as_member /usr/bin/veltronactl settings set Port=11112 >"$work/ctl.log" 2>&1
ctl_status=$?
check "a member's veltronactl settings set Port=11112 succeeds" test $ctl_status -eq 0 ||
    cat "$work/ctl.log"
check "$settings then holds Port = 11112" has_setting "Port = 11112"
check "and is still root $group 660" settings_kept ||
    echo "  $(stat -c '%U %G %a' "$settings" 2>&1)"
check "and the program folder still holds only the link" folder_holds_only_link

accept_start_x "$work" || give_up "no X server"
install -d -m 700 -o "$user" "$work/runtime"
(cd / && exec runuser -u "$user" -- env DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb HOME="$work/runtime" \
    XDG_RUNTIME_DIR="$work/runtime" /usr/bin/$package) >"$work/tool.log" 2>&1 </dev/null &
TOOL_PID=$!
ACCEPT_PIDS+=("$TOOL_PID")
window=$(wait_window "Zarvo Server Einstellungen" 60)
if check "a member opens the window from the installed launcher" test -n "$window"; then
    screenshot "$window" "$work/installed.png"
    request_close "$window"
fi
check "the window ends after the close request" wait_tool_exit 30 || cat "$work/tool.log"
check "the close wrote $settings back: Port = 11112, root $group 660, still behind the link" \
    bash -c 'tr -d "\r" <"$1" | grep -qx "Port = 11112" && test "$(stat -c "%U %G %a" "$1")" = "root $2 660" &&
        test -L "$3/Server.INI"' _ "$settings" "$group" "$folder"

secret=$(mktemp /root/veltrona-secret.XXXXXX)
head -c 64 /dev/urandom >"$secret"
cp "$secret" "$work/secret.copy"
as_member ln -sf "$secret" "$settings" || give_up "the member could not replace $settings"
(cd / && /usr/bin/veltronactl settings set Port=104) >"$work/root-ctl.log" 2>&1
root_status=$?
check "root's veltronactl settings set refuses a member's link in $settings" test $root_status -ne 0
check "its message names $settings" grep -qF "$settings" "$work/root-ctl.log" || cat "$work/root-ctl.log"
check "the file behind that link is unchanged" cmp -s "$secret" "$work/secret.copy"

check "purge leaves nothing behind" purged_clean

# 2. Over the earlier layout: the group could write the program folder, and a member wrote
# the settings into it.
install -d -m 2775 -o root -g "$group" "$folder"
as_member sh -c 'printf "#Server Settings\r\n\r\n-aet = R\366NTGEN\r\nPort = 4242\r\nAdminPassword = geheim\r\n" >"$0"' \
    "$folder/Server.ini" || give_up "could not write the earlier layout's Server.ini"
cp "$folder/Server.ini" "$work/old.ini"
check "installs over the earlier layout" dpkg_install || exit 1
check "its settings are now $settings, byte for byte" cmp -s "$work/old.ini" "$settings"
check "root $group 660" settings_kept || echo "  $(stat -c '%U %G %a' "$settings" 2>&1)"
check "the program folder holds only the programs and the link" folder_holds_only_link
check "and only root may write it again" no_unsafe_entries

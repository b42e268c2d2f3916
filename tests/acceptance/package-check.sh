#!/usr/bin/env bash
# Checks the Debian package on this machine: builds it with cpack in BUILD_DIR, has lintian
# look at it and installs it with dpkg -i, twice.
#   1. A fresh install: only root may write the program folder, the folders on its path and
#      the programs the /usr/bin links run; a member of veltrona-admin can neither replace
#      ZarvoServer.exe nor add files there, but changes the settings in /etc/veltrona with
#      veltronactl and through the window (under a private Xvfb), which keep the file
#      root:veltrona-admin 0660 and zarvo's read access; root's veltronactl refuses a link a
#      member put in its place. The account zarvo owns /var/lib/zarvo and may read the
#      settings, nobody else may; the unit passes systemd-analyze and scores at most 2.5; the
#      installed veltronactl serves an image under the unit's system-call filter
#      (BUILD_DIR's syscall_filter_run), where the unit's readiness command sees it listen, and
#      root's start runs the server as zarvo. The manual pages and the bash completion are
#      installed. The purge leaves nothing behind but /var/lib/zarvo and the account, not even
#      the links of a unit an administrator enabled. lintian finds no error or warning, and
#      the package overrides dir-or-file-in-opt alone.
#   2. An install over the earlier layout (a group-writable program folder holding the
#      settings a member wrote, and names with a newline that point outside it): those
#      settings end up byte for byte in /etc/veltrona, the program folder is root's again,
#      holding the link only, the member's other entries are kept aside as they were, and
#      nothing outside the folder changed.
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
account=zarvo
state=/var/lib/zarvo
unit=/lib/systemd/system/zarvo-server.service
completion=/usr/share/bash-completion/completions/veltronactl
filter_run=$build/tests/packaging/syscall_filter_run

passed=0
failed=0
work=""
secret=""
made_group=0
made_account=0
victims=()
finish() {
    accept_cleanup
    if dpkg-query -W "$package" >/dev/null 2>&1 || [ -e "$folder" ] || [ -e "$data" ]; then
        kill -KILL $(pids_of_executable "$folder/ZarvoServer.exe") 2>/dev/null
        dpkg --purge "$package" >/dev/null 2>&1
        rm -rf "$data" "$folder"
    fi
    rm -rf "$folder".foreign.* "${victims[@]}"
    userdel "$user" 2>/dev/null
    if [ $made_account -eq 1 ]; then
        userdel "$account" 2>/dev/null
        rm -rf "$state"
    fi
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
if dpkg-query -W "$package" >/dev/null 2>&1 || [ -e "$folder" ] || [ -e "$data" ] ||
    compgen -G "$folder.foreign.*" >/dev/null; then
    trap - EXIT
    echo "package-check: $package, $folder or $data is already there; not touching it" >&2
    echo "0 passed, 1 failed"
    exit 1
fi
getent group "$group" >/dev/null || made_group=1
# An account and images of an earlier installation are kept, as the purge keeps them.
getent passwd "$account" >/dev/null || [ -e "$state" ] || made_account=1
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
        -a ! -e /usr/share/applications/$package.desktop -a ! -e "$unit" \
        -a ! -e /usr/share/man/man1/veltronactl.1.gz -a ! -e "$completion" &&
        test -z "$(find /etc/systemd/system -name zarvo-server.service 2>/dev/null)"
}
as_account() { (cd / && setpriv --reuid="$account" --regid="$account" --init-groups -- "$@"); }
account_settings_default() {
    printf '#Server Settings\r\n\r\n-aet = VELTRONA\r\nPort = 11112\r\n-od = %s\r\n-db = %s\r\n' \
        "$state/images/" "$state/database/"
}
system_account() {
    local entry uid home shell
    entry=$(getent passwd "$account") || return 1
    uid=$(cut -d: -f3 <<<"$entry")
    home=$(cut -d: -f6 <<<"$entry")
    shell=$(cut -d: -f7 <<<"$entry")
    echo "  $account: uid $uid, home $home, shell $shell"
    [ "$uid" -lt 1000 ] && [ "$home" = "$state" ] && [ "$shell" = /usr/sbin/nologin ] &&
        [ ! -e "/home/$account" ]
}
default_settings_made() {
    cmp -s "$settings" <(account_settings_default) && test ! -L "$settings" && settings_kept
}
zarvo_may_read_settings() { getfacl -cp "$settings" 2>/dev/null | grep -qx "user:$account:r--"; }

# The calls the unit's SystemCallFilter= lines allow, combined as systemd combines them: the
# first line's sets, with @default that systemd adds to every allow list, less the sets of each
# later line that starts with "~".
expand_calls() {
    local item
    for item in "$@"; do
        if [[ $item == @* ]]; then
            expand_calls $(systemd-analyze syscall-filter --no-pager "$item" |
                awk 'NR > 1 && NF && $1 !~ /^#/ { print $1 }')
        else
            echo "$item"
        fi
    done
}
unit_allowed_calls() {
    local value allow=(@default) deny=()
    while IFS= read -r value; do
        if [[ $value == "~"* ]]; then
            deny+=(${value#\~})
        else
            allow+=($value)
        fi
    done < <(sed -n 's/^SystemCallFilter=//p' "$unit")
    comm -23 <(expand_calls "${allow[@]}" | sort -u) <(expand_calls "${deny[@]}" | sort -u)
}
unit_families() {
    local family numbers=()
    for family in $(sed -n 's/^RestrictAddressFamilies=//p' "$unit"); do
        case $family in
            AF_UNIX) numbers+=(1) ;;
            AF_INET) numbers+=(2) ;;
            AF_INET6) numbers+=(10) ;;
            *) return 1 ;;
        esac
    done
    (IFS=,; echo "${numbers[*]}")
}
# The numbers of the unit's CapabilityBoundingSet=, as the kernel's header defines them.
unit_bounding() {
    local name number numbers=()
    for name in $(sed -n 's/^CapabilityBoundingSet=//p' "$unit"); do
        number=$(awk -v n="$name" '$1 == "#define" && $2 == n { print $3 }' /usr/include/linux/capability.h)
        [ -n "$number" ] || return 1
        numbers+=("$number")
    done
    (IFS=,; echo "${numbers[*]}")
}
server_pids() { pids_of_executable "$folder/ZarvoServer.exe"; }
no_server() { test -z "$(server_pids)"; }
echo_answered() { (cd / && /usr/bin/veltronactl echo --timeout 2 >/dev/null 2>&1); }
# store_image NAME: sends the demo image with DCMTK's storescu to port 104, as set below.
store_image() {
    storescu -aec VELTRONA 127.0.0.1 104 "$work/sample.dcm" >"$work/$1.log" 2>&1 ||
        { cat "$work/$1.log"; return 1; }
}
images_of() { find "$state/images" -maxdepth 1 -type f -name '*.dcm' -user "$1" | grep -q .; }
server_runs_as_zarvo_with_bind_only() {
    local pid
    pid=$(server_pids | head -n 1)
    [ -n "$pid" ] || return 1
    echo "  server $pid: user $(stat -c %U "/proc/$pid"), $(grep CapEff "/proc/$pid/status")"
    [ "$(stat -c %U "/proc/$pid")" = "$account" ] &&
        grep -qx 'CapEff:[[:space:]]*0000000000000400' "/proc/$pid/status"
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
dump2dcm +Ug +te "$ACCEPT_REPO/scripts/demo/sample.dump" "$work/sample.dcm" ||
    give_up "dump2dcm could not make the test image"

# Once as a build would run it, failing on errors and warnings; once more for the overrides,
# which it then shows and counts as what they override.
(cd "$work" && lintian --tag-display-limit 0 --fail-on error,warning "$deb") >"$work/lintian.log" 2>&1
lintian_status=$?
(cd "$work" && lintian --tag-display-limit 0 --show-overrides "$deb") >"$work/overrides.log" 2>&1
# It ran when it showed the package's one override (files in /opt).
lintian_ran() { grep -q "^O: $package: dir-or-file-in-opt" "$work/overrides.log"; }
check "lintian looked at the package" lintian_ran || cat "$work/overrides.log"
check "and finds no error and no warning" \
    eval '[ $lintian_status -eq 0 ] && ! grep -q "^[EW]: " "$work/lintian.log"' ||
    cat "$work/lintian.log"
check "and the package overrides dir-or-file-in-opt alone" \
    not grep -v "^O: $package: dir-or-file-in-opt " <(grep "^O: " "$work/overrides.log")

# 1. A fresh install.
check "installs with dpkg -i" dpkg_install || exit 1
check "veltrona-admin is a system group" system_group
check "programs, launchers and desktop entry installed" \
    test -x "$folder/VeltronaAdmin" -a -x "$folder/VeltronaCtl" -a -x "$folder/ZarvoServer.exe" \
    -a -x /usr/bin/veltronactl -a -x /usr/bin/$package -a -f /usr/share/applications/$package.desktop
check "zarvo-server.service installed, runs veltronactl run" grep -qx 'ExecStart=/usr/bin/veltronactl run' "$unit"
check "and passes systemd-analyze verify" systemd-analyze verify "$unit"
check "and is not enabled" test -z "$(find /etc/systemd/system -name zarvo-server.service 2>/dev/null)"
check "and counts no SIGKILL as a stop" not grep -q '^SuccessExitStatus=.*SIGKILL' "$unit"
check "and is ready once the server listens: ExecStartPost=/usr/bin/veltronactl status --wait" \
    grep -qE '^ExecStartPost=/usr/bin/veltronactl status --wait [0-9]+$' "$unit"
check "man veltronactl and man veltrona-administration show the pages" bash -c '
    export LC_ALL=C MANPAGER=cat
    man veltronactl 2>/dev/null | grep -qF -- "status [--wait SECONDS]" &&
        man veltrona-administration 2>/dev/null | grep -qE "^ *veltrona-administration +- +window"'
check "bash completion offers veltronactl's commands" bash -c '
    source "$0" && COMP_WORDS=(veltronactl st) COMP_CWORD=1 && _veltronactl &&
        test "${COMPREPLY[*]}" = "status start stop"' "$completion"
exposure=$(systemd-analyze security --offline=true "$unit" 2>/dev/null |
    sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p')
echo "  systemd-analyze security --offline=true: exposure ${exposure:-unknown}"
check "and its exposure is at most 2.5" awk -v e="${exposure:-99}" 'BEGIN { exit !(e <= 2.5) }'
check "$account is a system account without login, its home $state, nothing in /home" system_account
check "$state and its images/ and database/ are $account's, 750" bash -c '
    for f in "$1" "$1/images" "$1/database"; do
        test "$(stat -c "%U %G %a" "$f")" = "$2 $2 750" -a ! -L "$f" || exit 1
    done' _ "$state" "$account"
check "the start lock $data/.ZarvoServer.lock is root $group 660" \
    owner_group_mode "$data/.ZarvoServer.lock" "root $group 660"
check "installs again over itself, as an upgrade does" dpkg_install &&
    check "leaving the program folder and $settings as they were" \
        eval 'folder_holds_only_link && default_settings_made && zarvo_may_read_settings'
check "what root runs, and the folders on its way, only root may write" no_unsafe_entries
check "the program folder holds the programs and a link to $settings" folder_holds_only_link
check "$data is root $group 2770" owner_group_mode "$data" "root $group 2770"
check "a $settings that puts images and database in $state, root $group 660" default_settings_made
check "$account may read it" as_account cat "$settings" >/dev/null

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

# RegNewOnView, which the shipped file lacks, makes it a write: a set of what the file holds
# already writes nothing.
as_member /usr/bin/veltronactl settings set Port=11112 RegNewOnView=true >"$work/ctl.log" 2>&1
ctl_status=$?
check "a member's veltronactl settings set Port=11112 RegNewOnView=true writes" \
    test $ctl_status -eq 0 -a "$(head -c 5 "$work/ctl.log")" = "Wrote" ||
    cat "$work/ctl.log"
check "$settings then holds Port = 11112" has_setting "Port = 11112"
check "and is still root $group 660" settings_kept ||
    echo "  $(stat -c '%U %G %a' "$settings" 2>&1)"
check "and the program folder still holds only the link" folder_holds_only_link
check "and $account may still read it: the access list survived the member's write" zarvo_may_read_settings &&
    check "as $account" as_account cat "$settings" >/dev/null

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

# The server under the unit's own system-call filter: the installed veltronactl run, from the
# unit's folder, with the calls, socket families and bounding set the unit allows, no new
# privileges and no writable executable memory. Port 104 needs the account's
# CAP_NET_BIND_SERVICE once the server runs as zarvo.
as_member /usr/bin/veltronactl settings set Port=104 >/dev/null 2>&1
unit_allowed_calls >"$work/calls"
families=$(unit_families)
bounding=$(unit_bounding)
echo "  the unit's filter allows $(wc -l <"$work/calls") call names; socket families $families;" \
    "capabilities $bounding"
if check "syscall_filter_run is built in $build" test -x "$filter_run"; then
    # As the service manager runs the unit's main process: its pid, and how it ended (an exit
    # status or a signal, which a shell's wait cannot tell apart).
    (cd "$folder" && exec perl -e '
        my $out = shift;
        my $pid = fork // die "fork: $!\n";
        if ($pid == 0) { exec { $ARGV[0] } @ARGV; exit 127 }
        open(my $f, ">", "$out.pid") or die; print $f "$pid\n"; close $f;
        waitpid($pid, 0);
        open($f, ">", $out) or die;
        print $f (($? & 127) ? "signal " . ($? & 127) : "exit " . ($? >> 8)), "\n";' \
        "$work/filtered.end" "$filter_run" --calls "$work/calls" --families "$families" \
        --bounding "$bounding" -- /usr/bin/veltronactl run) >"$work/filtered.log" 2>&1 </dev/null &
    watcher=$!
    ACCEPT_PIDS+=("$watcher")
    check "under the unit's filter, veltronactl run serves: C-ECHO answered" wait_until 20 echo_answered ||
        cat "$work/filtered.log"
    # The unit's ExecStartPost= under the same filter, where root may not look into zarvo's
    # server.
    read -ra ready <<<"$(sed -n 's/^ExecStartPost=//p' "$unit")"
    (cd "$folder" && "$filter_run" --calls "$work/calls" --families "$families" \
        --bounding "$bounding" -- "${ready[@]}") >"$work/ready.log" 2>&1 </dev/null
    check "and the unit's readiness command, under the filter too, sees it listen" test $? -eq 0 ||
        cat "$work/ready.log"
    check "and storescu stores an image in $state/images, as $account [needs lp-ctl]" store_image filtered &&
        check "written by $account" images_of "$account"
    # systemctl stop: SIGTERM to the main process.
    kill -TERM "$(cat "$work/filtered.end.pid" 2>/dev/null)" 2>/dev/null
    wait "$watcher"
    ended=$(cat "$work/filtered.end" 2>/dev/null)
    echo "  veltronactl run under the filter ended: ${ended:-unknown}"
    check "and was not killed by the filter (SIGSYS)" test "$ended" != "signal 31"
    # What systemd counts as a clean end of a Type=exec main process on its stop.
    check "and ended as systemd counts a stop on SIGTERM (exit 0 or SIGTERM) [needs lp-ctl]" \
        grep -qxE 'exit 0|signal 15' "$work/filtered.end" || cat "$work/filtered.log"
fi

# Root's own start in the package folder starts the server as zarvo too. [needs lp-ctl; so
# does every start here while another test's ZarvoServer.exe runs on this machine, which
# today's detection by name takes for this one]
(cd / && /usr/bin/veltronactl start --wait 10) >"$work/start.log" 2>&1
check "root's veltronactl start on port 104 succeeds [needs lp-ctl while other servers run]" test $? -eq 0 || cat "$work/start.log"
check "its server runs as $account with CAP_NET_BIND_SERVICE alone [needs lp-ctl]" \
    server_runs_as_zarvo_with_bind_only
check "and answers a C-ECHO [needs lp-ctl while other servers run]" echo_answered
# Ended by its path, not by veltronactl stop: that would end other tests' servers here too
# while detection goes by name.
kill -TERM $(server_pids) 2>/dev/null
check "and ends on SIGTERM" wait_until 10 no_server

# Enabled, removed and installed again, as debhelper's scripts handle a unit: the remove masks
# it and keeps the administrator's link, the install unmasks it and it is enabled again.
wants=/etc/systemd/system/multi-user.target.wants/zarvo-server.service
systemctl enable zarvo-server.service >/dev/null 2>&1
check "an administrator enables the unit" test -L "$wants"
dpkg -r "$package" >"$work/remove.log" 2>&1 || cat "$work/remove.log"
check "a remove keeps $settings and masks the unit" \
    eval 'test -f "$settings" && test "$(readlink /etc/systemd/system/zarvo-server.service)" = /dev/null'
check "installs again after the remove" dpkg_install &&
    check "unmasked, still enabled, $settings kept" eval 'test ! -e /etc/systemd/system/zarvo-server.service &&
        test -L "$wants" && has_setting "Port = 104" && settings_kept'

secret=$(mktemp /root/veltrona-secret.XXXXXX)
head -c 64 /dev/urandom >"$secret"
cp "$secret" "$work/secret.copy"
as_member ln -sf "$secret" "$settings" || give_up "the member could not replace $settings"
(cd / && /usr/bin/veltronactl settings set Port=104) >"$work/root-ctl.log" 2>&1
root_status=$?
check "root's veltronactl settings set refuses a member's link in $settings" test $root_status -ne 0
check "its message names $settings" grep -qF "$settings" "$work/root-ctl.log" || cat "$work/root-ctl.log"
check "the file behind that link is unchanged" cmp -s "$secret" "$work/secret.copy"
touch "$state/images/kept.dcm"

check "purge of the enabled unit leaves nothing behind, no link of the unit either" purged_clean
check "but $state with its images and the account $account" \
    test -f "$state/images/kept.dcm" -a -d "$state/database" -a "$(stat -c %U "$state" 2>/dev/null)" = "$account"

# 2. Over the earlier layout: the group could write the program folder, root's programs lay
# in it, and a member wrote the settings into it.
install -d -m 2775 -o root -g "$group" "$folder"
# The earlier package's own programs were root's.
install -m 755 /bin/true "$folder/ZarvoServer.exe"
as_member sh -c 'printf "#Server Settings\r\n\r\n-aet = R\366NTGEN\r\nPort = 4242\r\nAdminPassword = geheim\r\n" >"$0"' \
    "$folder/Server.ini" || give_up "could not write the earlier layout's Server.ini"
cp "$folder/Server.ini" "$work/old.ini"
# Names a member made there that a listing read line by line splits at the newline into a
# name dpkg's folder / resolves: a folder "a" beside "a<newline>VICTIM", a file "b" beside
# "b<newline>VICTIM". Each victim is nobody's, 2775, with a file of nobody's 664 in it.
for n in 1 2; do
    victims+=("$(mktemp -d /veltrona-victim.XXXXXX)")
    install -m 664 -o nobody -g nogroup /dev/null "${victims[-1]}/file"
    chown nobody:nogroup "${victims[-1]}"
    chmod 2775 "${victims[-1]}"
done
owners_and_modes() { stat -c '%U %G %a %n' "${victims[@]}" "${victims[@]/%//file}"; }
owners_and_modes >"$work/victims.before"
as_member sh -c 'mkdir "$1/a" "$1/a
$2" && : >"$1/b" && : >"$1/b
$3"' _ "$folder" "${victims[0]#/}" "${victims[1]#/}" || give_up "the member could not make the names"
check "installs over the earlier layout" dpkg_install || exit 1
check "its settings are now $settings, byte for byte" cmp -s "$work/old.ini" "$settings"
check "root $group 660" settings_kept || echo "  $(stat -c '%U %G %a' "$settings" 2>&1)"
check "the program folder holds only the programs and the link" folder_holds_only_link
check "and only root may write it again" no_unsafe_entries
check "no name the member made there changed anything outside it: the victims' owners and modes" \
    cmp -s "$work/victims.before" <(owners_and_modes) || diff "$work/victims.before" <(owners_and_modes)
aside=$(compgen -G "$folder.foreign.*")
check "the member's four entries are kept aside, as they were, in a folder only root may enter" \
    bash -c 'test "$(stat -c "%U %G %a" "$1")" = "root root 700" &&
        test "$(find "$1" -mindepth 1 -maxdepth 1 -user "$2" -printf x)" = xxxx &&
        test -d "$1/a" -a -f "$1/b"' _ "$aside" "$user"

#!/usr/bin/env bash
# Start-up cost of the real window: time from launch until the main window is mapped and
# viewable, and the peak resident memory (VmHWM) with the window open, under a private Xvfb
# with openbox. Two cases: an empty program folder, and a translation file of ~20,000 lines
# above it.
#   bash bench/startup.sh [BUILD_DIR] [RUNS]     (defaults: build, 10)
# Prints per-case median, minimum and maximum. It measures; it judges nothing; how a start
# is measured, and how late a figure can be, is said in startup-lib.sh.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source "$here/../tests/acceptance/lib.sh"
source "$here/startup-lib.sh"
build=$(accept_build_folder "${1:-build}")
runs=${2:-10}

[ -x "$build/bin/VeltronaAdmin" ] || {
    echo "startup: $build/bin/VeltronaAdmin is missing; build first" >&2
    exit 1
}
accept_install_packages || exit 1

accept_work_folder veltrona-startup
accept_start_x "$work" || exit 1
accept_use_xcb

# Translation file: 15,000 lines of other windows' sections, 5,000 keys of components the
# window does not have in its own section, then the keys that do take effect.
large_translation() {
    awk 'BEGIN {
        for (s = 0; s < 1500; s++) {
            printf "[OtherForm%d]\n", s
            for (k = 0; k < 9; k++) printf "OtherForm%d.Label%d.Caption=Beschriftung %d/%d\n", s, k, s, k
        }
        print "[ServerAdminForm]"
        for (k = 0; k < 5000; k++) printf "ServerAdminForm.Missing%d.Caption=Nicht vorhanden %d\n", k, k
        print "ServerAdminForm.Button1.Caption=Stop Zarvo Server"
        print "ServerAdminForm.Button2.Caption=Start Zarvo Server"
        for (i = 0; i < 9; i++) printf "ServerAdminForm.ServerMessage.lines[%d]=fsdef\n", i
    }'
}

run_case() {
    local name=$1 root="$work/$1"
    local program="$root/program"
    mkdir -p "$program"
    cp "$build/bin/VeltronaAdmin" "$build/bin/ZarvoServer.exe" "$program/"
    [ "$name" = large-translation ] && large_translation >"$root/Custom.ini"
    measure_once "$program" "$program/VeltronaAdmin" >/dev/null # warm-up: page cache, font cache
    local results="$root/results" i
    for ((i = 0; i < runs; i++)); do
        measure_once "$program" "$program/VeltronaAdmin" >>"$results" ||
            echo "startup: run $i of $name: no window" >&2
    done
    report "$name" "$results"
}

echo "startup of $build/bin/VeltronaAdmin on $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
run_case empty-folder
run_case large-translation
echo "translation file: $(large_translation | wc -l) lines"

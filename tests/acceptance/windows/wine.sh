# Helpers for running the Windows programs under Wine, beside the X helpers of ../lib.sh
# (source that first). Sourced by run.sh, ../windows-package-check.sh and bench/startup-wine.sh.
# A run gets its own 64-bit prefix, so the Windows processes it sees, and the server the
# tool finds among them, are its own: Wine's process list is the list of one prefix.

# On top of lib.sh's X tools: Wine, its fonts, and the installer compiler.
ACCEPT_PACKAGES="$ACCEPT_PACKAGES wine wine64 fonts-wine nsis binutils-mingw-w64-x86-64"

# wine_new_prefix FOLDER: a fresh 64-bit prefix in FOLDER (which must not exist yet), made
# the current one; its processes are ended when the run ends (lib.sh's accept_work_folder).
# Needs DISPLAY (lib.sh's accept_start_x) for the programs with windows.
wine_new_prefix() {
    export WINEPREFIX=$1 WINEARCH=win64 WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=" # no Mono or Gecko installer prompts
    ACCEPT_EXIT_HOOKS+=(wine_kill_all) # the prefix's processes end with the run
    wine wineboot -i >"$1.log" 2>&1 </dev/null || {
        echo "wine: could not create the prefix $1 (see $1.log)" >&2
        return 1
    }
    # Debian's Wine does not load the bitmap fonts it ships in /usr/share/wine/fonts; copied
    # into the prefix's Fonts folder, they give the window the real "MS Sans Serif" metrics.
    cp /usr/share/wine/fonts/sserife*.fon "$WINEPREFIX/drive_c/windows/Fonts/" || return 1
}

# wine_unix_path 'C:\A\B': where that file of the current prefix lies on this side.
wine_unix_path() {
    local path=${1//\\//}
    local drive=${path%%:*}
    printf '%s/drive_%s%s\n' "$WINEPREFIX" "${drive,,}" "${path#*:}"
}

# Waits (bounded) until every process of the prefix has ended and its server has gone.
wine_wait_idle() { timeout "${1:-120}" wineserver -w; }

# Ends every process of the current prefix at once.
wine_kill_all() { wineserver -k >/dev/null 2>&1; }

# Unix ids of the prefix's running processes whose Windows executable is named NAME (any
# letter case, any folder). Wine shows a process's Windows command line as its Unix one.
wine_pids_named() {
    local name=${1,,} pid cmdline first
    for pid in $(pgrep -f -i -- "$1"); do
        tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
        grep -q '^State:.*Z' "/proc/$pid/status" 2>/dev/null && continue
        cmdline=$(tr '\0' '\n' 2>/dev/null <"/proc/$pid/cmdline") || continue
        first=${cmdline%%$'\n'*}
        first=${first,,}
        [ "${first##*\\}" = "$name" ] && echo "$pid"
    done
}

# Every DLL that a PE file imports, in lower case, one a line.
pe_imports() {
    x86_64-w64-mingw32-objdump -p "$1" | awk '/DLL Name:/ {print tolower($3)}' | sort -u
}

# Whether every DLL that a PE file imports comes with Windows itself: each one is in the
# current prefix's system folder, where Wine puts its own builds of the system's DLLs. The
# runtime DLLs of a compiler (libstdc++, libgcc, winpthread) are not among them.
pe_needs_system_dlls_only() {
    local dll system32="$WINEPREFIX/drive_c/windows/system32"
    for dll in $(pe_imports "$1"); do
        if [ -z "$(find "$system32" -maxdepth 1 -iname "$dll" -print -quit)" ]; then
            echo "$(basename "$1") needs $dll" >&2
            return 1
        fi
    done
}

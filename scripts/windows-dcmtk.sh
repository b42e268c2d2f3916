#!/usr/bin/env bash
# Builds the part of DCMTK that the Windows programs link (ofstd, oflog, dcmdata, dcmtls
# without OpenSSL, dcmnet) as static mingw-w64 libraries, from Debian's own source package
# of the DCMTK version that libdcmtk-dev has, and prints the folder it is installed in:
#
#   prefix=$(bash scripts/windows-dcmtk.sh)     then  -DDCMTK_DIR=$prefix/cmake
#
# The build is made once per machine and kept in a cache outside the clone, keyed by the
# DCMTK version, the target and the cross compiler's version:
#   root:       /var/cache/veltrona/dcmtk-<version>-<target>-<compiler>/
#   otherwise:  ${XDG_CACHE_HOME:-~/.cache}/veltrona/dcmtk-<version>-<target>-<compiler>/
# (VELTRONA_DCMTK_CACHE names another parent folder). A build runs in a temporary folder
# beside it and is renamed into place only when it is complete, so a build that was
# interrupted is never taken for a finished one. The first run takes about 10 minutes on
# two cores; later runs find the cache and return at once.
#
# Where apt has no source entries, root adds one for Debian's archive, as a file of its own
# (/etc/apt/sources.list.d/veltrona-deb-src.sources or .list, after the machine's own
# entries). DCMTK's configuration runs its checks as Windows programs under Wine.
# Progress goes to stderr, the folder alone to stdout. Environment:
#   WINDOWS_TESTS_JOBS   build jobs (default 2)
set -euo pipefail

target=x86_64-w64-mingw32
jobs=${WINDOWS_TESTS_JOBS:-2}
# Raised whenever the way the libraries are configured changes, so that a cache made the old
# way is not used.
recipe=1

log() { printf 'windows-dcmtk: %s\n' "$*" >&2; }
fail() {
    log "$*"
    exit 1
}

as_root() { [ "$(id -u)" -eq 0 ]; }

install_missing() {
    local missing=() package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    as_root || fail "not root: install ${missing[*]} first"
    log "installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

install_missing libdcmtk-dev dpkg-dev cmake ninja-build wine wine64 \
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64

version=$(dpkg-query -W -f='${Version}' libdcmtk-dev)
compiler=$(dpkg-query -W -f='${Version}' g++-mingw-w64-x86-64-posix)
key="dcmtk-$version-$target-gcc-$compiler-r$recipe"
key=${key//[^A-Za-z0-9.+_-]/_} # a Debian version may hold ':' and '~'
if [ -n "${VELTRONA_DCMTK_CACHE:-}" ]; then
    cache=$VELTRONA_DCMTK_CACHE
elif as_root; then
    cache=/var/cache/veltrona
else
    cache=${XDG_CACHE_HOME:-$HOME/.cache}/veltrona
fi
prefix=$cache/$key
config=$prefix/cmake/DCMTKConfig.cmake # DCMTK's place for it on Windows

if [ -f "$config" ]; then
    log "using $prefix"
    echo "$prefix"
    exit 0
fi

# The libraries end up in programs that run as root or LocalSystem: the cache must be this
# account's alone.
mkdir -p -m 0755 "$cache"
if [ "$(stat -c %u "$cache")" != "$(id -u)" ] || [ -n "$(find "$cache" -maxdepth 0 -perm /022)" ]; then
    fail "$cache belongs to another account or others may write to it"
fi
# One build at a time; whoever waited finds the other's result.
exec 9>"$cache/$key.lock"
flock 9
if [ -f "$config" ]; then
    log "using $prefix"
    echo "$prefix"
    exit 0
fi

# --- the source package -------------------------------------------------------------------
# Debian's archive entries of this release, as deb-src entries: deb822 stanzas of *.sources
# files and one-line "deb" entries of *.list files whose suite is this release or one of
# its -updates and -security suites.
source_entries() {
    local codename=$1 files=(/etc/apt/sources.list.d/*.sources)
    [ -f "${files[0]}" ] || return 0
    awk -v codename="$codename" '
        function flush() {
            if (types ~ /(^| )deb( |$)/ && suites ~ ("(^| )" codename "(-updates|-security)?( |$)"))
                printf "%sTypes: deb-src\n%s\n", (count++ ? "\n" : ""), body
            types = ""; suites = ""; body = ""
        }
        FNR == 1 { flush() }
        /^[ \t]*#/ { next }
        /^[ \t]*$/ { flush(); next }
        /^Types:/ { types = $0; sub(/^Types:[ \t]*/, "", types); next }
        /^Suites:/ { suites = $0; sub(/^Suites:[ \t]*/, "", suites) }
        { body = body (body == "" ? "" : "\n") $0 }
        END { flush() }
    ' "${files[@]}"
}
one_line_entries() {
    local codename=$1
    cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
        sed -nE "s/^deb[ \t]+((\[[^]]*\][ \t]+)?[^ \t]+[ \t]+$codename(-updates|-security)?[ \t].*)/deb-src \1/p"
}
has_source_package() {
    apt-cache showsrc "dcmtk=$version" 2>/dev/null | grep -q '^Package: dcmtk'
}
add_source_entries() {
    local entries list=/etc/apt/sources.list.d/veltrona-deb-src.sources
    . /etc/os-release
    entries=$(source_entries "$VERSION_CODENAME")
    if [ -z "$entries" ]; then
        entries=$(one_line_entries "$VERSION_CODENAME")
        list=/etc/apt/sources.list.d/veltrona-deb-src.list
    fi
    [ -n "$entries" ] ||
        fail "no Debian $VERSION_CODENAME entry in apt's sources to make a deb-src entry of"
    log "adding $list"
    printf '# Source packages, added by scripts/windows-dcmtk.sh to build DCMTK for Windows.\n%s\n' \
        "$entries" >"$list.tmp"
    mv "$list.tmp" "$list"
}
has_source_entries() {
    grep -qsE '^[ \t]*deb-src[ \t]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list ||
        grep -qsE '^Types:.*deb-src' /etc/apt/sources.list.d/*.sources
}

upstream=${version#*:}
upstream=${upstream%-*}
work=$cache/work/dcmtk-${version//[^A-Za-z0-9.+_-]/_}
src=$work/dcmtk-$upstream
if [ ! -f "$src/.veltrona-unpacked" ]; then
    # An entry of the machine's own is used where it has one; ours is added only where none
    # offers this version, even after an update.
    if ! has_source_package; then
        as_root || fail "not root: add a deb-src entry for Debian's archive to apt's sources first"
        if has_source_entries; then
            log "apt-get update (for the source entries)"
            apt-get update -qq
        fi
        if ! has_source_package; then
            add_source_entries
            log "apt-get update (for the source entries)"
            apt-get update -qq
        fi
    fi
    log "fetching the source package dcmtk $version into $work"
    rm -rf "$work"
    mkdir -p "$work"
    (cd "$work" && apt-get source -qq "dcmtk=$version" >/dev/null)
    [ -f "$src/CMakeLists.txt" ] || fail "apt-get source left no $src"
    touch "$src/.veltrona-unpacked"
fi

# --- the build ------------------------------------------------------------------------------
# The build tree lies in the work folder, so that a build that was interrupted goes on where
# it stopped; DCMTK's checks run in a Wine prefix of its own there. The libraries are
# installed with DESTDIR into a temporary folder under their final path, and only the
# complete installation is renamed into place.
started=$SECONDS
build=$work/build-$key
wine_prefix=$build/CMakeFiles/wineprefix
stage=$(mktemp -d "$cache/.$key.XXXXXX")
trap 'WINEPREFIX=$wine_prefix wineserver -k >/dev/null 2>&1; rm -rf "$stage"' EXIT
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
runtime=$($target-g++-posix -print-file-name=libstdc++-6.dll)
[ -f "$runtime" ] || fail "no libstdc++-6.dll of $target-g++-posix"

log "configuring DCMTK $version for $target (its checks run under Wine; about 6 minutes)"
(
    unset DISPLAY # the checks are console programs; Wine opens no window for them
    # The prefix DCMTK makes for its checks, named already for the path conversion before it.
    export WINEPREFIX=$wine_prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    cmake -S "$src" -B "$build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-mingw64.cmake" \
        -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DCPP_RUNTIME="$runtime" \
        -DDCMTK_MODULES="ofstd;oflog;dcmdata;dcmtls;dcmnet" \
        -DCMAKE_INSTALL_DATADIC=share/dcmtk \
        -DDCMTK_ENABLE_STL=ON -DCMAKE_CXX_STANDARD=17 \
        -DBUILD_APPS=OFF -DBUILD_SHARED_LIBS=OFF \
        -DDCMTK_DEFAULT_DICT=builtin -DDCMTK_WITH_THREADS=ON \
        -DDCMTK_WITH_OPENSSL=OFF -DDCMTK_WITH_ZLIB=OFF -DDCMTK_WITH_TIFF=OFF \
        -DDCMTK_WITH_PNG=OFF -DDCMTK_WITH_XML=OFF -DDCMTK_WITH_SNDFILE=OFF \
        -DDCMTK_WITH_ICONV=OFF -DDCMTK_WITH_ICU=OFF -DDCMTK_WITH_WRAP=OFF \
        -DDCMTK_WITH_OPENJPEG=OFF -DDCMTK_WITH_DOXYGEN=OFF -DDCMTK_ENABLE_MANPAGES=OFF \
        >"$work/configure.log" 2>&1
) || {
    tail -n 30 "$work/configure.log" >&2
    rm -rf "$build" # the next run configures afresh
    fail "configuring DCMTK failed (log: $work/configure.log)"
}
log "building ofstd, oflog, dcmdata, dcmtls, dcmnet with -j$jobs"
cmake --build "$build" -j"$jobs" >"$work/build.log" 2>&1 || {
    tail -n 30 "$work/build.log" >&2
    fail "building DCMTK failed (log: $work/build.log)"
}
DESTDIR=$stage cmake --install "$build" >/dev/null
[ -f "$stage$config" ] || fail "the installation has no $config"
rm -rf "$stage$prefix/share/doc"
mv -T "$stage$prefix" "$prefix"
rm -rf "$build"
log "built $prefix in $((SECONDS - started)) s"
echo "$prefix"

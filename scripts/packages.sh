# Sourced by the set-up scripts: installs the Debian packages that are still missing.

# Everything the tool needs to build and run.
# libdcmtk-dev: the stand-in server and VeltronaCtl speak DICOM through DCMTK, whose command-line
# tools (dcmtk) make and send the demo's test image; fonts-wine ships the window's own "MS Sans Serif";
# help2man makes the manual page veltronactl(1) from its --help.
VELTRONA_BUILD_PACKAGES="build-essential cmake ninja-build qt6-base-dev qt6-base-dev-tools libgl-dev fonts-liberation2 \
libdcmtk-dev dcmtk fonts-wine help2man"
# What the test suites need on top: GoogleTest, Google Benchmark, a real X server with a window
# manager for the acceptance runs, the Windows cross compiler with Wine, clang for fuzzing, and
# prometheus for its promtool, which checks the health check's metrics file, systemd for
# systemd-analyze verify and security of the package's unit, lintian for the package itself, and
# libseccomp-dev for the harness that runs the server under the unit's system-call filter.
VELTRONA_TEST_PACKAGES="googletest libgtest-dev libbenchmark-dev xvfb xauth openbox xdotool wmctrl \
x11-utils imagemagick procps util-linux fonts-liberation2 dpkg-dev file g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
wine wine64 nsis clang clang-format libclang-rt-14-dev prometheus systemd lintian libseccomp-dev"
# strace shows how the health check opens the temporary file beside its metrics file.
VELTRONA_TEST_PACKAGES+=" strace"

ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed'; then
            missing+=("$package")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages: ${missing[*]}" >&2
        echo "Run this script as root (or with sudo) so it can install them." >&2
        exit 1
    fi
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

#!/usr/bin/env bash
# Installs what the tests need, builds everything and runs every test:
#   0. the sources against .clang-format
#   1. the unit and window suites (offscreen Qt), warnings as errors, then the Debian
#      package of that build installed, used by a group member and purged
#   2. the same suites under AddressSanitizer and UndefinedBehaviorSanitizer
#      (both runs of the suites beside an unrelated ZarvoServer.exe)
#   3. the Windows build (mingw-w64) with its suites under Wine
#   4. the Windows window driven under Wine as a person would, then its installer and ZIP
#   5. the acceptance runs: the real binary under Xvfb with a window manager
#   6. bounded fuzzing of the file readers and the command line
# Each step reports how many tests it ran (the format check: how many files it checked); a
# step that ran none fails. The last line is
# "total: N passed, M failed". VELTRONA_SKIP="sanitize windows ..." leaves steps out for a
# quicker local run.
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages $VELTRONA_BUILD_PACKAGES $VELTRONA_TEST_PACKAGES
# The window's font (fonts-wine) is among those packages: the suites that measure text in
# it fail rather than skip when it is missing.
export VELTRONA_REQUIRE_WINDOW_FONT=1

passed=0
failed=0
failed_steps=()

skipped() { [[ " ${VELTRONA_SKIP:-} " == *" $1 "* ]]; }

# Adds a step's own counts to the totals: the "N passed, M failed" line that the Windows
# suites, the acceptance and the fuzz scripts end with, otherwise ctest's summary. The
# format check counts files, not tests: its "N files checked" line adds nothing to the
# totals. Returns 1 when the log has none of these, or when its count says that nothing
# was checked at all.
count_results() {
    local log=$1 line
    line=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$log" | tail -n 1)
    if [ -n "$line" ]; then
        local good bad
        good=$(cut -d' ' -f1 <<<"$line")
        bad=$(cut -d' ' -f3 <<<"$line")
        [ $((good + bad)) -gt 0 ] || return 1
        passed=$((passed + good))
        failed=$((failed + bad))
        return 0
    fi
    line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    if [ -n "$line" ]; then
        local bad total
        bad=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
        total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
        [ "$total" -gt 0 ] || return 1
        passed=$((passed + total - bad))
        failed=$((failed + bad))
        return 0
    fi
    line=$(grep -E '^[a-z-]+: [0-9]+ files checked' "$log" | tail -n 1)
    if [ -n "$line" ]; then
        [ "$(sed -E 's/^[a-z-]+: ([0-9]+) files checked.*/\1/' <<<"$line")" -gt 0 ]
        return
    fi
    return 1
}

step() {
    local name=$1
    shift
    if skipped "$name"; then
        echo "=== $name: skipped (VELTRONA_SKIP)"
        return
    fi
    echo "=== $name"
    local log
    log=$(mktemp)
    local ok=1 started=$SECONDS
    if "$@" 2>&1 | tee "$log"; then
        echo "=== $name: ok ($((SECONDS - started)) s)"
    else
        ok=0
        echo "=== $name: FAILED ($((SECONDS - started)) s)"
        failed_steps+=("$name")
    fi
    # A step that ran no test proves nothing: without a count (a broken build, no tests
    # found) it fails, however it ended. A step that failed without counting a failure
    # (a misformatted file, a build that broke after its tests) counts as one.
    local failed_before=$failed
    if ! count_results "$log"; then
        failed=$((failed + 1))
        if [ $ok -eq 1 ]; then
            echo "=== $name: FAILED (it reported no test run)"
            failed_steps+=("$name")
        fi
    elif [ $ok -eq 0 ] && [ $failed -eq $failed_before ]; then
        failed=$((failed + 1))
    fi
    rm -f "$log"
}

# Runs a command beside an unrelated ZarvoServer.exe: a sleeping program of that name in a
# temporary folder, started before the command and ended after it. The suites see only their
# own processes (each test in a PID namespace of its own), so they must pass beside it and
# leave it running. Where this machine gives no PID namespaces the suites share its process
# list and run without it, as the build configures them then.
beside_unrelated_server() {
    if ! unshare --pid --fork --mount-proc --kill-child true 2>/dev/null; then
        echo "# no PID namespaces here: the suites run without an unrelated ZarvoServer.exe"
        "$@"
        return
    fi
    local folder pid status state
    folder=$(mktemp -d /tmp/veltrona-unrelated.XXXXXX) && cp /bin/sleep "$folder/ZarvoServer.exe" || return
    "$folder/ZarvoServer.exe" infinity </dev/null >/dev/null 2>&1 &
    pid=$!
    echo "# an unrelated $folder/ZarvoServer.exe runs beside the suites (process $pid)"
    "$@"
    status=$?
    # Ended by someone else, it is our zombie until the wait below: the state tells.
    state=$(cut -d' ' -f3 "/proc/$pid/stat" 2>/dev/null)
    if [ -z "$state" ] || [ "$state" = Z ]; then
        echo "the unrelated ZarvoServer.exe (process $pid) was ended while the suites ran"
        status=1
    fi
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    rm -rf "$folder"
    return $status
}

# Every option the step relies on is given, so that a cache left in the build folder by
# another command (the demo builds without tests) cannot change what runs.
native() {
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELTRONA_WERROR=ON \
        -DVELTRONA_BUILD_GUI=ON -DVELTRONA_BUILD_TESTS=ON -DVELTRONA_BUILD_BENCHMARKS=ON \
        -DVELTRONA_BUILD_FUZZERS=OFF >/dev/null &&
        cmake --build build -j2 &&
        ctest --test-dir build -j2 --output-on-failure --timeout 300 --no-tests=error
}

sanitize() {
    cmake --preset sanitize -DVELTRONA_BUILD_GUI=ON -DVELTRONA_BUILD_TESTS=ON \
        -DVELTRONA_BUILD_BENCHMARKS=OFF -DVELTRONA_BUILD_FUZZERS=OFF >/dev/null &&
        cmake --build --preset sanitize -j2 &&
        ctest --preset sanitize -j2 --output-on-failure --timeout 600 --no-tests=error
}

# Checks every C++ source against .clang-format. It counts files, not tests: "format: N
# files checked, M misformatted". A file that needs reformatting fails the step, and so
# does no file at all, or a checker that did not run.
format() {
    local files out status bad
    mapfile -t files < <(git ls-files '*.cpp' '*.h')
    if [ ${#files[@]} -eq 0 ]; then
        echo "format: no sources found"
        return 1
    fi
    out=$(clang-format --dry-run --Werror "${files[@]}" 2>&1)
    status=$?
    [ -z "$out" ] || printf '%s\n' "$out"
    bad=$(grep -oE '^[^:]+:[0-9]+:[0-9]+: (error|warning):' <<<"$out" | cut -d: -f1 | sort -u | wc -l)
    if [ $status -ne 0 ] && [ "$bad" -eq 0 ]; then
        echo "format: clang-format failed"
        return 1
    fi
    echo "format: ${#files[@]} files checked, $bad misformatted"
    [ "$bad" -eq 0 ]
}

# DCMTK for the Windows build (scripts/windows-dcmtk.sh) takes minutes on a machine's first
# run, most of them waiting for Wine to start each of its configure checks: it is made beside
# the native steps, and the Windows step takes it from the cache (at once when cached).
dcmtk_pid=
if ! skipped windows; then
    dcmtk_log=$(mktemp)
    bash scripts/windows-dcmtk.sh >/dev/null 2>"$dcmtk_log" &
    dcmtk_pid=$!
fi
dcmtk_ready() {
    [ -n "$dcmtk_pid" ] || return 0
    wait "$dcmtk_pid" || echo "=== DCMTK for Windows failed; the Windows step tries again"
    cat "$dcmtk_log"
    rm -f "$dcmtk_log"
    dcmtk_pid=
}

step format format
step native beside_unrelated_server native
# The Debian package of that build (cpack in build/), installed, used and purged as root.
step package bash tests/acceptance/package-check.sh build
step sanitize beside_unrelated_server sanitize
dcmtk_ready
step windows bash scripts/windows-tests.sh build-windows
# The Windows window as a person uses it, and its installer, under Wine (after the build above).
step windows-acceptance bash tests/acceptance/windows/run.sh build-windows
step windows-package bash tests/acceptance/windows-package-check.sh build-windows
step acceptance bash tests/acceptance/run.sh build
step fuzz bash fuzz/run.sh 60

echo
if [ ${#failed_steps[@]} -gt 0 ]; then
    echo "Failed steps: ${failed_steps[*]}"
fi
echo "total: $passed passed, $failed failed"
[ ${#failed_steps[@]} -eq 0 ]

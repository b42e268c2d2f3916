#!/usr/bin/env bash
# Installs what the tests need, builds everything and runs every test:
#   0. the sources against .clang-format
#   1. the unit and window suites (offscreen Qt), warnings as errors
#   2. the same suites under AddressSanitizer and UndefinedBehaviorSanitizer
#   3. the Windows build (mingw-w64) with its suites under Wine
#   4. the acceptance runs: the real binary under Xvfb with a window manager
#   5. bounded fuzzing of the file readers and the command line
# VELTRONA_SKIP="sanitize windows ..." leaves steps out for a quicker local run.
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages $VELTRONA_BUILD_PACKAGES $VELTRONA_TEST_PACKAGES

passed=0
failed=0
failed_steps=()

skipped() { [[ " ${VELTRONA_SKIP:-} " == *" $1 "* ]]; }

# Adds a step's own counts to the totals: ctest's summary, or the "N passed, M failed"
# line that the acceptance and fuzz scripts end with. Returns 1 when the log has neither.
count_results() {
    local log=$1 line
    line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    if [ -n "$line" ]; then
        local bad total
        bad=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
        total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
        passed=$((passed + total - bad))
        failed=$((failed + bad))
        return 0
    fi
    line=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$log" | tail -n 1)
    if [ -n "$line" ]; then
        passed=$((passed + $(cut -d' ' -f1 <<<"$line")))
        failed=$((failed + $(cut -d' ' -f3 <<<"$line")))
        return 0
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
    local ok=1
    if "$@" 2>&1 | tee "$log"; then
        echo "=== $name: ok"
    else
        ok=0
        echo "=== $name: FAILED"
        failed_steps+=("$name")
    fi
    # A step without counts of its own (the format check, a broken build) counts as one.
    if ! count_results "$log"; then
        if [ $ok -eq 1 ]; then
            passed=$((passed + 1))
        else
            failed=$((failed + 1))
        fi
    fi
    rm -f "$log"
}

native() {
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELTRONA_WERROR=ON \
        -DVELTRONA_BUILD_BENCHMARKS=ON >/dev/null &&
        cmake --build build -j2 &&
        ctest --test-dir build -j2 --output-on-failure --timeout 300
}

sanitize() {
    cmake --preset sanitize >/dev/null &&
        cmake --build --preset sanitize -j2 &&
        ctest --preset sanitize -j2 --output-on-failure --timeout 600
}

format() {
    git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
}

step format format
step native native
step sanitize sanitize
[ -f scripts/windows-tests.sh ] && step windows bash scripts/windows-tests.sh build-windows
[ -f tests/acceptance/run.sh ] && step acceptance bash tests/acceptance/run.sh build
[ -f fuzz/run.sh ] && step fuzz bash fuzz/run.sh 60

echo
if [ ${#failed_steps[@]} -gt 0 ]; then
    echo "Failed steps: ${failed_steps[*]}"
fi
if [ ${#failed_steps[@]} -gt 0 ] && [ $failed -eq 0 ]; then
    failed=${#failed_steps[@]}
fi
echo "total: $passed passed, $failed failed"
[ ${#failed_steps[@]} -eq 0 ]

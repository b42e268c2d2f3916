#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for SECONDS (default 60), after replaying
# its kept regression inputs. Inputs that break a property are copied to
# fuzz/regressions/<target>/, where every later run replays them.
#   bash fuzz/run.sh 60      # as CI runs it
#   bash fuzz/run.sh 3600    # an hour per target
# Prints the inputs executed per target and ends with "N passed, M failed"; a target that
# executed no input fails.
set -uo pipefail
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELTRONA_FUZZ_BUILD:-$root/build-fuzz}
targets=(fuzz_settings fuzz_translation fuzz_command_line fuzz_parameter_string)

missing=()
for package in clang libclang-rt-14-dev; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages: ${missing[*]}; run as root so they can be installed." >&2
        exit 1
    fi
    echo "Installing: ${missing[*]}"
    DEBIAN_FRONTEND=noninteractive apt-get update -qq &&
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null ||
        exit 1
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DVELTRONA_BUILD_GUI=OFF -DVELTRONA_BUILD_TESTS=OFF \
    -DVELTRONA_BUILD_FUZZERS=ON >/dev/null || exit 1
cmake --build "$build" -j2 --target "${targets[@]}" || exit 1

passed=0
failed=0
for target in "${targets[@]}"; do
    binary=$build/fuzz/$target
    seeds=$root/fuzz/corpus/$target
    regressions=$root/fuzz/regressions/$target
    work=$build/corpus/$target          # grows across runs; the repository keeps only seeds
    artifacts=$build/artifacts/$target/
    log=$build/$target.log
    mkdir -p "$work" "$artifacts" "$regressions"
    rm -f "$artifacts"*
    ok=1

    mapfile -t kept < <(find "$regressions" -type f ! -name '.gitkeep' | sort)
    if [ ${#kept[@]} -gt 0 ]; then
        if ! "$binary" "${kept[@]}" >"$build/$target.replay.log" 2>&1; then
            echo "$target: a kept regression input fails again:"
            tail -n 30 "$build/$target.replay.log"
            ok=0
        fi
    fi

    if [ $ok -eq 1 ]; then
        "$binary" "$work" "$seeds" "$regressions" -max_total_time="$seconds" -max_len=4096 \
            -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
            -artifact_prefix="$artifacts" >"$log" 2>&1
        status=$?
        executed=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$' | tail -n 1)
        [ -n "$executed" ] || executed=$(grep -oE '^#[0-9]+[[:space:]]+DONE' "$log" | grep -oE '[0-9]+' | tail -n 1)
        echo "$target: ${executed:-?} inputs executed in ${seconds}s, kept regressions ${#kept[@]}"
        if [ $status -eq 0 ] && [ "${executed:-0}" -eq 0 ]; then
            # A run that executed nothing (a binary that never started fuzzing) proves nothing.
            echo "$target: FAILED, no input was executed"
            tail -n 20 "$log"
            ok=0
        elif [ $status -ne 0 ]; then
            echo "$target: FAILED"
            grep -E 'property violated|ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error' "$log" | head -n 5
            for artifact in "$artifacts"*; do
                [ -f "$artifact" ] || continue
                cp "$artifact" "$regressions/" && echo "  kept $regressions/$(basename "$artifact")"
            done
            ok=0
        fi
    fi

    if [ $ok -eq 1 ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
    fi
done

echo "$passed passed, $failed failed"
[ $failed -eq 0 ] && [ $passed -gt 0 ]

#!/bin/sh
# Runs one GoogleTest program under Wine as a ctest entry and judges it by the program's
# own summary, since ctest sees one entry per program here: a program that ran no case,
# or that ended before it could say how many it ran, fails however it exited.
#
#   run-suite.sh NAME WINE PROGRAM [ARGUMENTS...]
#
# With VELTRONA_CASE_COUNTS set, appends "NAME PASSED FAILED SKIPPED" for the entry NAME to
# that file, so that a run over all entries can report cases instead of programs.
#
# The program writes into a file, which is shown once it has ended: Wine starts helpers
# (the desktop process, services) that inherit the program's output and outlive it, and
# were that output ctest's pipe, ctest would wait for them until its timeout.
name=$1
wine=$2
program=$3
shift 3
out=$(mktemp) || exit 125
"$wine" "$program" "$@" >"$out" 2>&1 </dev/null
status=$?
cat "$out"

# "[==========] 12 tests from 3 test suites ran. (40 ms total)", "[  PASSED  ] 11 tests.",
# "[  FAILED  ] 1 test, listed below:", "[  SKIPPED ] 1 test, listed below:"
count() { sed -nE "s/^\[ *$1 *\] ([0-9]+) tests?[,. ].*/\1/p" "$out" | tail -n 1; }
ran=$(sed -nE 's/^\[==========\] ([0-9]+) tests? from .* ran\..*/\1/p' "$out" | tail -n 1)
passed=$(count PASSED)
failed=$(count FAILED)
skipped=$(count SKIPPED)
rm -f "$out"

if [ -z "$ran" ]; then
    echo "run-suite: $name ended without a GoogleTest summary (exit $status)"
    passed=0 failed=1 skipped=0
    [ $status -ne 0 ] || status=1
elif [ "$ran" -eq 0 ]; then
    echo "run-suite: $name ran no test case"
    passed=0 failed=1 skipped=0
    [ $status -ne 0 ] || status=1
else
    passed=${passed:-0} failed=${failed:-0} skipped=${skipped:-0}
    if [ $((passed + failed + skipped)) -ne "$ran" ]; then
        echo "run-suite: $name ran $ran cases, but $passed passed, $failed failed, $skipped skipped"
        failed=$((ran - passed - skipped))
        [ "$failed" -gt 0 ] || failed=1
        [ $status -ne 0 ] || status=1
    fi
    # An exit status that says failure (a crash after the summary) is one failure at least.
    if [ $status -ne 0 ] && [ "$failed" -eq 0 ]; then
        failed=1
    fi
fi
if [ -n "${VELTRONA_CASE_COUNTS:-}" ]; then
    echo "$name $passed $failed $skipped" >>"$VELTRONA_CASE_COUNTS"
fi
exit $status

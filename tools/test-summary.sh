#!/bin/bash
# The closing line of `make test`: the tests and time of each block it ran and every test of them all,
# counted from ctest's JUnit reports.
#   test-summary.sh NAME STATUS REPORT SECONDS [NAME STATUS REPORT SECONDS ...]
# STATUS is the block's exit status, SECONDS its time with its build. A block that failed without a report
# (its build failed) counts as one failure; one that succeeded without a report ran nothing (the fuzz smoke
# runs without clang).
passed=0; failed=0; skipped=0; seconds=0; blocks=()
count() { sed -n "s/.* $1=\"\([0-9]*\)\".*/\1/p" <<<"$suite" | grep . || echo 0; }
duration() { if [ "$1" -ge 60 ]; then echo "$(($1 / 60))m$(($1 % 60))s"; else echo "$1s"; fi; }
while [ $# -ge 4 ]; do
  name="$1"; status="$2"; report="$3"; time="$4"; shift 4
  seconds=$((seconds + time))
  if [ -f "$report" ]; then
    # ctest writes one <testsuite> element with the totals; skipped and disabled tests did not run.
    suite="$(head -c 4096 "$report" | tr '\n\t' '  ' | grep -m 1 -o '<testsuite [^>]*>')"
    tests=$(count tests); failures=$(count failures); disabled=$(count disabled); skips=$(count skipped)
    ran=$((tests - failures - disabled - skips))
    passed=$((passed + ran))
    failed=$((failed + failures))
    skipped=$((skipped + disabled + skips))
    if [ "$status" -ne 0 ] && [ "$failures" -eq 0 ]; then
      echo "$name: failed outside its tests (exit status $status)"; failed=$((failed + 1)); failures=1
    fi
    block="$name $ran passed"
    [ "$failures" -eq 0 ] || block="$block, $failures failed"
    blocks+=("$block in $(duration "$time")")
  elif [ "$status" -ne 0 ]; then
    echo "$name: failed before its tests ran (exit status $status)"; failed=$((failed + 1))
    blocks+=("$name failed in $(duration "$time")")
  else
    echo "$name: no tests run"
    blocks+=("$name none in $(duration "$time")")
  fi
done
line=""
for block in "${blocks[@]}"; do line="$line$block; "; done
echo "${line}tests: $passed passed, $failed failed, $skipped skipped in $(duration "$seconds")"

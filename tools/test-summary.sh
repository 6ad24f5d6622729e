#!/bin/bash
# The closing line of `make test`: every test of every block it ran, counted from ctest's JUnit reports.
#   test-summary.sh NAME STATUS REPORT [NAME STATUS REPORT ...]
# STATUS is the block's exit status. A block that failed without a report (its build failed) counts as one
# failure; one that succeeded without a report ran nothing (the fuzz smoke runs without clang).
passed=0; failed=0; skipped=0
count() { sed -n "s/.* $1=\"\([0-9]*\)\".*/\1/p" <<<"$suite" | grep . || echo 0; }
while [ $# -ge 3 ]; do
  name="$1"; status="$2"; report="$3"; shift 3
  if [ -f "$report" ]; then
    # ctest writes one <testsuite> element with the totals; skipped and disabled tests did not run.
    suite="$(head -c 4096 "$report" | tr '\n\t' '  ' | grep -m 1 -o '<testsuite [^>]*>')"
    tests=$(count tests); failures=$(count failures); disabled=$(count disabled); skips=$(count skipped)
    passed=$((passed + tests - failures - disabled - skips))
    failed=$((failed + failures))
    skipped=$((skipped + disabled + skips))
    if [ "$status" -ne 0 ] && [ "$failures" -eq 0 ]; then
      echo "$name: failed outside its tests (exit status $status)"; failed=$((failed + 1))
    fi
  elif [ "$status" -ne 0 ]; then
    echo "$name: failed before its tests ran (exit status $status)"; failed=$((failed + 1))
  else
    echo "$name: no tests run"
  fi
done
echo "tests: $passed passed, $failed failed, $skipped skipped"

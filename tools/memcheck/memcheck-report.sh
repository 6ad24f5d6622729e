#!/bin/bash
# Reads the memcheck logs of `make valgrind` (one per engine process) and fails unless every process ended
# by itself with no memory error and nothing definitely or indirectly lost. Memory still reachable at the
# end is listed too: after "quit" the engine has released everything, so any such block is reported.
#   memcheck-report.sh <folder of logs>
set -u
dir=${1:?folder of memcheck logs}
shopt -s nullglob
logs=("$dir"/*.log)
if [ ${#logs[@]} -eq 0 ]; then
  echo "memcheck: no engine process ran under valgrind" >&2
  exit 1
fi
bad=0
unfinished=0
reachable=0
for log in "${logs[@]}"; do
  if ! grep -q "ERROR SUMMARY:" "$log"; then
    # Killed before it could end (the harness kills an engine a test left running or gave up on).
    unfinished=$((unfinished + 1))
    echo "memcheck: no summary (the process was killed): $log"
    continue
  fi
  if ! grep -q "ERROR SUMMARY: 0 errors" "$log"; then
    bad=$((bad + 1))
    echo "memcheck: errors in $log"
    cat "$log"
  fi
  if grep -q "in use at exit: [1-9]" "$log"; then
    reachable=$((reachable + 1))
    echo "memcheck: memory in use at exit: $log"
    grep -A8 "HEAP SUMMARY" "$log"
  fi
done
echo "memcheck: ${#logs[@]} engine processes, $bad with errors, $reachable with memory in use at exit," \
  "$unfinished killed before their end"
[ $bad -eq 0 ] && [ $unfinished -eq 0 ] && [ $reachable -eq 0 ]

#!/bin/bash
# Reads the memcheck logs of `make valgrind` (one per engine process) and fails unless every process ended by
# itself, with no memory error and nothing definitely or indirectly lost (valgrind counts those as errors),
# and without a table or an open file left behind. "quit" releases everything; an abrupt end (a failed
# write, a bad book move) may leave only the text it was writing, which is listed but not counted.
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
tables=0
inuse=0
for log in "${logs[@]}"; do
  if ! grep -q "ERROR SUMMARY:" "$log"; then
    # Killed before it could end (the harness kills an engine a test left running or gave up on).
    unfinished=$((unfinished + 1))
    echo "memcheck: no summary, the process was killed: $log"
    continue
  fi
  if ! grep -q "ERROR SUMMARY: 0 errors" "$log"; then
    bad=$((bad + 1))
    echo "memcheck: errors in $log"
    cat "$log"
  fi
  if grep -q "in use at exit: [1-9]" "$log"; then
    inuse=$((inuse + 1))
    if grep -A12 "are still reachable" "$log" | grep -qE "AllocateHashTable|BuildKpkBitbase|fopen|fdopen"; then
      tables=$((tables + 1))
      echo "memcheck: a table or a file was not released: $log"
      sed -n '/HEAP SUMMARY/,/LEAK SUMMARY/p' "$log"
    else
      echo "memcheck: in use at an abrupt end (text being written): $log"
      grep -m1 "in use at exit" "$log"
    fi
  fi
done
echo "memcheck: ${#logs[@]} engine processes; $bad with errors; $tables with a table or file left behind;" \
  "$inuse with any memory in use at the end; $unfinished killed before their end"
[ $bad -eq 0 ] && [ $unfinished -eq 0 ] && [ $tables -eq 0 ]

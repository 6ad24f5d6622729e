#!/bin/bash
# Runs one fuzz target: run_fuzz.sh [--fresh] BINARY SECONDS SEED_CORPUS WORK_FOLDER [libFuzzer options...]
# New inputs go to WORK_FOLDER/corpus (the seed corpus in the source tree is only read), findings to
# WORK_FOLDER/artifacts. --fresh empties WORK_FOLDER first (smoke runs start from the seeds alone).
set -euo pipefail
fresh=0
if [ "${1:-}" = "--fresh" ]; then
  fresh=1
  shift
fi
binary=$1 seconds=$2 seeds=$3 work=$4
shift 4
[ "$fresh" = 1 ] && rm -rf "$work"
mkdir -p "$work/corpus" "$work/artifacts"
cd "$work"
# Inputs longer than any seed are cut at 8 kB: long UCI move lists fit, and no input is slow by size alone.
exec "$binary" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2560 -max_len=8192 \
  -artifact_prefix="$work/artifacts/" -print_final_stats=1 "$@" "$work/corpus" "$seeds"

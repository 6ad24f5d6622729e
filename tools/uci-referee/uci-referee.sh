#!/bin/bash
# Runs the UCI referee against our engine and, as a control that the referee is fair, against Debian's
# stockfish. Opt-in (`make uci-referee`); needs node and npm (the client library and chess.js come from the
# npm registry into tools/uci-referee/node_modules).
#   ENGINE=path to our engine (default build/kelb701); CONTROL=path to the control engine, or empty to skip
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
HERE="$ROOT/tools/uci-referee"
ENGINE="${ENGINE:-$ROOT/build/kelb701}"
CONTROL="${CONTROL-/usr/games/stockfish}"
OUT="${OUT:-$ROOT/build/uci-referee}"

for p in node npm; do
  command -v "$p" >/dev/null || { echo "uci-referee: missing $p (apt-get install nodejs npm)"; exit 2; }
done
[ -x "$ENGINE" ] || { echo "uci-referee: build the engine first (make build)"; exit 2; }
(cd "$HERE" && { npm ci --no-audit --no-fund --loglevel=error || npm install --no-audit --no-fund --loglevel=error; }) || exit 2

# The referee's own checks first: a referee that misjudges proves nothing.
(cd "$HERE" && node --test test/) || exit 1

status=0
rm -rf "$OUT"; mkdir -p "$OUT/kelb" "$OUT/control"
cp "$ROOT"/data/kelb701.* "$OUT/kelb/"   # the engine finds its book and settings in its working folder
node "$HERE/referee.js" --engine "$ENGINE" --cwd "$OUT/kelb" --label kelb701 | tee "$OUT/kelb.txt"
[ "${PIPESTATUS[0]}" -eq 0 ] || status=1
if [ -n "$CONTROL" ] && [ -x "$CONTROL" ]; then
  node "$HERE/referee.js" --engine "$CONTROL" --cwd "$OUT/control" --label "$(basename "$CONTROL")" | tee "$OUT/control.txt"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
else
  echo "uci-referee: control engine ${CONTROL:-(none)} not installed, control run skipped (apt-get install stockfish)"
fi
exit $status

#!/bin/bash
# Plays matches through xboard (headless, under xvfb-run) against other engines and fails on an illegal
# move, a loss on time, a crash or a stall.  Opt-in (`make gui-check`); needs Debian's xboard, xvfb,
# polyglot, phalanx, fairymax and stockfish.
#   GAMES=20 (games per match)   FAST="0:20 1" (minutes[:seconds] increment)   SLOW="1 40" (minutes moves)
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
ENGINE="$ROOT/build/kelb701"
GAMES="${GAMES:-20}"
FAST_TC="${FAST_TC:-0:20}"; FAST_INC="${FAST_INC:-1}"
SLOW_TC="${SLOW_TC:-1}";    SLOW_MPS="${SLOW_MPS:-40}"
OUT="${OUT:-$ROOT/gui-check-out}"
export PATH="$PATH:/usr/games"

for p in xboard xvfb-run polyglot phalanx fairymax stockfish; do
  command -v "$p" >/dev/null || { echo "gui-check: missing $p (apt-get install xboard xvfb polyglot phalanx fairymax stockfish)"; exit 2; }
done
[ -x "$ENGINE" ] || { echo "gui-check: build the engine first (make build)"; exit 2; }
mkdir -p "$OUT"

# One match: name, then extra xboard arguments.  Each engine runs in its own folder with the default data.
match() {
  local name="$1"; shift
  local dir="$OUT/$name"
  rm -rf "$dir"; mkdir -p "$dir/kelb" "$dir/other"
  cp "$ROOT"/data/* "$dir/kelb/" 2>/dev/null
  local pgn="$dir/games.pgn"
  # A generous wall-clock cap per match turns a stall into a failure instead of a hang.
  timeout "${MATCH_TIMEOUT:-7200}" xvfb-run -a xboard -noGUI -xexit -matchGames "$GAMES" \
      -fd "$dir/kelb" -sd "$dir/other" -saveGameFile "$pgn" -debugFile "$dir/xboard.debug" -debug \
      -autoCallFlag true -xponder "$@" >"$dir/xboard.out" 2>&1
  local rc=$?
  local played wins losses draws bad
  played=$(grep -c '^\[Result ' "$pgn" 2>/dev/null || echo 0)
  bad=$(grep -i -E 'illegal|loses on time|forfeit|crash|disconnect|exited|stall|false illegal' "$pgn" 2>/dev/null | grep -v -c '^\[' )
  echo "$name: exit=$rc games=$played problems=$bad"
  grep -h '^\[White \|^\[Black \|^\[Result ' "$pgn" | paste - - - | awk -v me="Kelb" '
    { w=$0; sub(/.*\[White "/,"",w); sub(/".*/,"",w); r=$0; sub(/.*\[Result "/,"",r); sub(/".*/,"",r);
      mine = (index(w, me) > 0) ? "w" : "b";
      if (r=="1/2-1/2") d++; else if ((r=="1-0" && mine=="w") || (r=="0-1" && mine=="b")) win++; else if (r=="*") u++; else loss++ }
    END { printf "  Kelb: +%d -%d =%d unfinished %d\n", win, loss, d, u }'
  [ "$rc" -eq 0 ] && [ "$bad" -eq 0 ] && [ "$played" -ge "$GAMES" ]
}

status=0
match phalanx-fast  -fcp "$ENGINE" -scp phalanx -tc "$FAST_TC" -inc "$FAST_INC" -mps 0 || status=1
match fairymax-fast -fcp "$ENGINE" -scp fairymax -secondComputerString '' -tc "$FAST_TC" -inc "$FAST_INC" -mps 0 || status=1
match stockfish-fast -fcp "$ENGINE" -fUCI -scp stockfish -sUCI \
      -secondOptions "UCI_LimitStrength=true,UCI_Elo=1500" -tc "$FAST_TC" -inc "$FAST_INC" -mps 0 || status=1
match phalanx-slow  -fcp "$ENGINE" -scp phalanx -tc "$SLOW_TC" -mps "$SLOW_MPS" || status=1
match fairymax-slow -fcp "$ENGINE" -scp fairymax -secondComputerString '' -tc "$SLOW_TC" -mps "$SLOW_MPS" || status=1
match stockfish-slow -fcp "$ENGINE" -fUCI -scp stockfish -sUCI \
      -secondOptions "UCI_LimitStrength=true,UCI_Elo=1500" -tc "$SLOW_TC" -mps "$SLOW_MPS" || status=1
exit $status

#!/bin/bash
# Plays matches through xboard (headless, under xvfb-run) against other engines and fails on an illegal
# move, a loss on time, a crash or a stall.  Opt-in (`make gui-check`); needs Debian's xboard, xvfb,
# polyglot, phalanx, fairymax and stockfish.
#   gui-check.sh [match ...]   runs the named matches (default: all six, one after the other)
#   GAMES=20 per match; FAST_TC/FAST_INC (default 0:10 + 0.1 s); SLOW_TC/SLOW_MPS (default 1 minute, 40 moves)
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
ENGINE="${ENGINE:-$ROOT/build/kelb701}"
GAMES="${GAMES:-20}"
FAST_TC="${FAST_TC:-0:10}"; FAST_INC="${FAST_INC:-0.1}"
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
  cp "$ROOT"/data/kelb701.* "$dir/kelb/" 2>/dev/null
  local pgn="$dir/games.pgn"
  # A generous wall-clock cap per match turns a stall into a failure instead of a hang.
  timeout "${MATCH_TIMEOUT:-7200}" xvfb-run -a xboard -noGUI -xexit -matchGames "$GAMES" \
      -fd "$dir/kelb" -sd "$dir/other" -saveGameFile "$pgn" -nameOfDebugFile "$dir/xboard.debug" -debug \
      -autoCallFlag true -xponder "$@" >"$dir/xboard.out" 2>&1
  local rc=$?
  local played wins losses draws bad
  played=$(grep -c '^\[Result ' "$pgn" 2>/dev/null || echo 0)
  bad=$(grep -i -E 'illegal|on time|forfeit|crash|disconnect|exited|stall|error' "$pgn" 2>/dev/null | grep -v -c '^\[' )
  echo "$name: exit=$rc games=$played problems=$bad"
  grep -h '^\[White \|^\[Black \|^\[Result ' "$pgn" | paste - - - | awk -v me="Kelb" '
    { w=$0; sub(/.*\[White "/,"",w); sub(/".*/,"",w); r=$0; sub(/.*\[Result "/,"",r); sub(/".*/,"",r);
      mine = (index(w, me) > 0) ? "w" : "b";
      if (r=="1/2-1/2") d++; else if ((r=="1-0" && mine=="w") || (r=="0-1" && mine=="b")) win++; else if (r=="*") u++; else loss++ }
    END { printf "  Kelb: +%d -%d =%d unfinished %d\n", win, loss, d, u }'
  [ "$rc" -eq 0 ] && [ "$bad" -eq 0 ] && [ "$played" -ge "$GAMES" ]
}

run() {
  case "$1" in
    phalanx-fast)   match "$1" -fcp "$ENGINE" -scp phalanx -tc "$FAST_TC" -inc "$FAST_INC" -mps 0 ;;
    fairymax-fast)  match "$1" -fcp "$ENGINE" -scp fairymax -secondComputerString '' -tc "$FAST_TC" -inc "$FAST_INC" -mps 0 ;;
    stockfish-fast) match "$1" -fcp "$ENGINE" -fUCI -scp stockfish -sUCI \
                      -secondOptions "UCI_LimitStrength=true,UCI_Elo=1500" -tc "$FAST_TC" -inc "$FAST_INC" -mps 0 ;;
    phalanx-slow)   match "$1" -fcp "$ENGINE" -scp phalanx -tc "$SLOW_TC" -mps "$SLOW_MPS" ;;
    fairymax-slow)  match "$1" -fcp "$ENGINE" -scp fairymax -secondComputerString '' -tc "$SLOW_TC" -mps "$SLOW_MPS" ;;
    stockfish-slow) match "$1" -fcp "$ENGINE" -fUCI -scp stockfish -sUCI \
                      -secondOptions "UCI_LimitStrength=true,UCI_Elo=1500" -tc "$SLOW_TC" -mps "$SLOW_MPS" ;;
    *) echo "gui-check: unknown match $1"; return 2 ;;
  esac
}

status=0
[ $# -gt 0 ] || set -- phalanx-fast fairymax-fast stockfish-fast phalanx-slow fairymax-slow stockfish-slow
for m in "$@"; do run "$m" || status=1; done
exit $status

#!/bin/bash
# Plays matches through xboard (headless, under xvfb-run) against other engines and counts what must never
# happen to our engine: illegal moves, losses on time, crashes or disconnects, stalls. Opt-in
# (`make gui-check`); needs Debian's xboard, xvfb, polyglot, phalanx, fairymax, gnuchess, stockfish, python3.
#
#   gui-check.sh [match ...]     runs the named matches one after the other (default: the full set)
#   gui-check.sh smoke           the fast-control kinds only (use with GAMES=2)
#   gui-check.sh list            prints the match names
#   gui-check.sh report DIR...   prints the table for match folders already played
#
# A match name is OPPONENT-PROTOCOL-CONTROL[-ponder]:
#   OPPONENT  phalanx, fairymax, gnuchess, sf1500, sf2000 (stockfish limited to UCI_Elo 1500 / 2000)
#   PROTOCOL  wb (our engine speaks WinBoard to xboard) or uci (through polyglot, xboard -fUCI)
#   CONTROL   fast (1 minute + 0.1 s) or blitz (40 moves in 15 s)
#   -ponder   both engines think on the opponent's time (xboard -ponder; otherwise -xponder)
# Settings: GAMES per match (default 10), OUT (default gui-check-out; one folder per match, so that several
# invocations can run side by side with different names), MATCH_TIMEOUT in seconds (default by control),
# ENGINE (default build/kelb701); FAST_TC and FAST_INC change the fast control for trials (xboard -tc, -inc);
# OPENINGS=file of FEN lines plays every game from a set-up position (xboard sends "setboard"), each position
# twice with colours reversed, as testers run opening suites.
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
HERE="$ROOT/tools/gui-check"
ENGINE="${ENGINE:-$ROOT/build/kelb701}"
GAMES="${GAMES:-10}"
OUT="${OUT:-$ROOT/gui-check-out}"
export PATH="$PATH:/usr/games"

OPPONENTS="phalanx fairymax gnuchess sf1500 sf2000"
# The full set: every opponent under both protocols at both controls, pondering at the fast control.
full_set() {
  local o p
  for o in $OPPONENTS; do for p in wb uci; do echo "$o-$p-fast-ponder $o-$p-blitz"; done; done
}
smoke_set() {
  local o p
  for o in $OPPONENTS; do for p in wb uci; do echo "$o-$p-fast-ponder"; done; done
}

if [ "${1:-}" = "list" ]; then full_set | tr ' ' '\n'; exit 0; fi
if [ "${1:-}" = "report" ]; then shift; exec python3 "$HERE/match-report.py" "$@"; fi

for p in xboard xvfb-run polyglot phalanx fairymax gnuchess stockfish python3; do
  command -v "$p" >/dev/null || {
    echo "gui-check: missing $p (apt-get install xboard xvfb polyglot phalanx fairymax gnuchess stockfish python3)"
    exit 2
  }
done
[ -x "$ENGINE" ] || { echo "gui-check: build the engine first (make build)"; exit 2; }
mkdir -p "$OUT"

# The opponent's xboard arguments. gnuchess plays through polyglot in its UCI mode: in its xboard mode a
# thread that sets up standard input waits for the lock the input reader holds while it blocks, so on a
# loaded machine gnuchess often never answered "protover" and lost its first game on time unstarted, then
# died. Phalanx runs without its learning file (it would carry results from game to game and from match to
# match) and with its books named explicitly.
# Neither phalanx nor fairymax gets xboard's "computer" line: phalanx answers it with "Illegal move", and
# fairymax was seen never to answer its first "go" after it. Stockfish's check option takes 1 under
# xboard/polyglot (not "true").
opponent_args() {
  case "$1" in
    phalanx)  echo "-scp|phalanx -l- -P /usr/share/phalanx -S /usr/share/phalanx|-secondComputerString|@EMPTY@" ;;
    fairymax) echo "-scp|fairymax|-secondComputerString|@EMPTY@" ;;
    gnuchess) echo "-scp|gnuchess --uci|-sUCI" ;;
    sf1500)   echo "-scp|stockfish|-sUCI|-secondOptions|UCI_LimitStrength=1,UCI_Elo=1500" ;;
    sf2000)   echo "-scp|stockfish|-sUCI|-secondOptions|UCI_LimitStrength=1,UCI_Elo=2000" ;;
    *) return 1 ;;
  esac
}

# One match. Writes games.pgn, xboard.debug, the polyglot logs, meter.json (processor time by whose move it
# is) and meta.json into its folder; the report reads them.
match() {
  local name="$1"
  local opp proto control ponder
  IFS=- read -r opp proto control ponder <<<"$name"
  local -a args
  local oa
  oa="$(opponent_args "$opp")" || { echo "gui-check: unknown opponent in $name"; return 2; }
  IFS='|' read -r -a args <<<"$oa"
  local i
  for i in "${!args[@]}"; do [ "${args[$i]}" = "@EMPTY@" ] && args[$i]=""; done
  case "$proto" in
    wb) ;;
    uci) args+=(-fUCI) ;;
    *) echo "gui-check: unknown protocol in $name (wb or uci)"; return 2 ;;
  esac
  local limit
  case "$control" in
    fast) args+=(-tc "${FAST_TC:-1}" -inc "${FAST_INC:-0.1}" -mps 0); limit=$((GAMES * 330 + 120)) ;;
    # -inc -1 is xboard's "moves per session" mode; any increment, even 0, would make it sudden death.
    blitz) args+=(-tc 0:15 -mps 40 -inc -1); limit=$((GAMES * 200 + 120)) ;;
    *) echo "gui-check: unknown control in $name (fast or blitz)"; return 2 ;;
  esac
  case "$ponder" in
    ponder) args+=(-ponder) ;;
    "") args+=(-xponder) ;;
    *) echo "gui-check: unknown suffix in $name (ponder)"; return 2 ;;
  esac
  limit="${MATCH_TIMEOUT:-$limit}"
  if [ -n "${OPENINGS:-}" ]; then
    local n
    n=$(grep -c . "$OPENINGS")
    args+=(-loadPositionFile "$(realpath "$OPENINGS")" -loadPositionIndex -2 -rewindIndex "$n")
  fi

  local dir="$OUT/$name"
  rm -rf "$dir"; mkdir -p "$dir/kelb" "$dir/other"
  # The engine reads its settings and book from its working folder: the hash line in the log proves it.
  cp "$ROOT"/data/kelb701.* "$dir/kelb/"
  echo "== $name: $GAMES games (timeout ${limit} s)"
  local started=$SECONDS
  # Polyglot logs every line it exchanges with the UCI engine: there the options and "go ponder" are seen.
  timeout "$limit" xvfb-run -a xboard -noGUI -xexit -matchGames "$GAMES" \
      -saveSettingsFile "$dir/xboard.settings" \
      -fd "$dir/kelb" -sd "$dir/other" -fcp "$ENGINE" \
      -adapterCommand 'polyglot -noini -log true -lf "%fd/polyglot.log" -ec "%fcp" -ed "%fd"' \
      -saveGameFile "$dir/games.pgn" -nameOfDebugFile "$dir/xboard.debug" -debug \
      -autoCallFlag true "${args[@]}" >"$dir/xboard.out" 2>&1 &
  local pid=$!
  python3 "$HERE/match-meter.py" "$dir/xboard.debug" "$dir/kelb" "$dir/other" "$dir/meter.json" "$pid" &
  local meter=$!
  wait "$pid"
  local rc=$?
  # A timeout ends xvfb-run, not the xboard under it, which then spins on its lost display: end it and its
  # engines, so that a stalled opponent does not slow the matches after it.
  [ "$rc" -eq 124 ] && pkill -KILL -f -- "-saveSettingsFile $dir/xboard.settings"
  wait "$meter"
  printf '{"name": "%s", "games": %d, "exit": %d, "seconds": %d, "timeout": %d}\n' \
    "$name" "$GAMES" "$rc" $((SECONDS - started)) "$limit" >"$dir/meta.json"
  python3 "$HERE/match-report.py" "$dir"
}

if [ $# -eq 0 ]; then set -- $(full_set); fi
if [ "$1" = "smoke" ]; then set -- $(smoke_set); fi
dirs=()
status=0
for m in "$@"; do
  match "$m" || status=1
  dirs+=("$OUT/$m")
done
echo
echo "== summary"
python3 "$HERE/match-report.py" "${dirs[@]}" || status=1
exit $status

#!/bin/bash
# Checks an installed engine the way a player meets it: started by its xboard plugin file's command from an
# empty folder, it must announce the 64 MB table of the installed kelb701.ini and play moves from the
# installed book, under xboard (WinBoard protocol) and under UCI through polyglot.  Opt-in
# (`make install-check`); needs Debian's xboard, xvfb, polyglot and fairymax.
#   install-check.sh                   builds for a temporary prefix (make dist-build), installs there (make
#                                      install) and checks that
#   INSTALLED=/usr install-check.sh    checks the installed package instead, and that xboard lists it
# Each protocol plays GAMES (default 2, colours alternating, the engine White first) against fairymax at
# TC/INC (default 0:10 + 0.1 s).
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
OUT="${OUT:-$ROOT/install-check-out}"
GAMES="${GAMES:-2}"; TC="${TC:-0:10}"; INC="${INC:-0.1}"
export PATH="$PATH:/usr/games"

for p in xboard xvfb-run polyglot fairymax man; do
  command -v "$p" >/dev/null || { echo "install-check: missing $p (apt-get install xboard xvfb polyglot fairymax man-db)"; exit 2; }
done
rm -rf "$OUT"; mkdir -p "$OUT"
failures=0
pass() { echo "  ok: $*"; }
fail() { echo "  FAILED: $*"; failures=$((failures + 1)); }

if [ -n "${INSTALLED:-}" ]; then
  PREFIX="$INSTALLED"
  echo "install-check: the engine installed under $PREFIX"
else
  PREFIX="$OUT/prefix"
  echo "install-check: make dist-build install PREFIX=$PREFIX"
  { make -C "$ROOT" --no-print-directory dist-build PREFIX="$PREFIX" &&
    make -C "$ROOT" --no-print-directory install PREFIX="$PREFIX"; } >"$OUT/install.log" 2>&1 ||
    { echo "install-check: make dist-build or make install failed, see $OUT/install.log"; exit 1; }
fi

# The plugin file: three lines, and its command is how every GUI below starts the engine.
PLUGIN="$PREFIX/share/games/plugins/xboard/kelb701.eng"
if [ "$(sed -n 1p "$PLUGIN" 2>/dev/null)" = "plugin spec 0.0" ] && [ "$(sed -n 3p "$PLUGIN")" = "chess" ] &&
   [ "$(wc -l <"$PLUGIN")" -eq 3 ]; then
  pass "plugin file $PLUGIN"
else
  fail "plugin file $PLUGIN is missing or malformed"; exit 1
fi
ENGINE="$(sed -n 2p "$PLUGIN")"
command -v "$ENGINE" >/dev/null && pass "plugin command $ENGINE found" || { fail "plugin command $ENGINE not found"; exit 1; }
for f in share/games/kelb701/kelb701.ini share/games/kelb701/kelb701.bok share/games/plugins/logos/kelb701.png; do
  [ -f "$PREFIX/$f" ] && pass "$f" || fail "$f missing"
done
# The package compresses the README, as Debian does with documentation.
README="share/doc/kelb701/README.md"
[ -f "$PREFIX/$README" ] || [ -f "$PREFIX/$README.gz" ] && pass "$README" || fail "$README missing"
if [ -n "${INSTALLED:-}" ]; then
  man -w 6 kelb701 >/dev/null 2>&1 && pass "man 6 kelb701" || fail "man 6 kelb701 finds no page"
else
  man -M "$PREFIX/share/man" -w 6 kelb701 >/dev/null 2>&1 && pass "manual page" || fail "manual page missing"
fi
warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$PREFIX/share/man/man6/kelb701.6.gz" 2>&1 >/dev/null)"
[ -z "$warnings" ] && pass "manual page formats without warnings" || fail "manual page warnings: $warnings"

# Is the move offered by the book after these moves?  Asked of the installed engine itself, from an empty
# folder, with "bk".  Arguments: the moves so far (blank-separated), the move.
in_book() {
  local dir listing
  dir="$(mktemp -d "$OUT/bk.XXXXXX")"
  listing="$({ printf 'xboard\nnew\nforce\n'; for m in $1; do echo "$m"; done; printf 'bk\nquit\n'; } |
    (cd "$dir" && timeout 30 "$ENGINE"))"
  rm -rf "$dir"
  grep -q "^ $2 " <<<"$listing"
}

# Every engine move that came without a thinking line ("moves so far|move", one per line) must be a book
# move; the engine plays White in the first game, so its first move must be one of them.
check_book_moves() {
  local name="$1" list="$2" first count=0 line shown=""
  first="$(head -n 1 "$list")"
  if [ -z "$first" ] || [ -n "${first%%|*}" ]; then
    fail "$name: the first move was searched, not taken from the book"; return
  fi
  while IFS= read -r line; do
    if in_book "${line%%|*}" "${line##*|}"; then
      count=$((count + 1))
      shown="$shown ${line##*|} (after: ${line%%|*})"
    else
      fail "$name: ${line##*|} after '${line%%|*}' came without thinking but is not in the book"
    fi
  done <"$list"
  [ "$count" -gt 0 ] && pass "$name: $count book move(s):$shown"
}

# A short match against fairymax, the engine White in the first game; its working folder starts empty.
# Arguments: name, extra xboard options.
play() {
  local name="$1"; shift
  local dir="$OUT/$name"
  mkdir -p "$dir/work" "$dir/other"
  # xboard saves its settings on exit: into this folder, not the user's ~/.xboardrc.  Saved settings dated
  # before any install make it scan the plugin folder for every engine there.
  echo "-saveDate 0" >"$dir/settings-in"
  (cd "$dir/work" && timeout "${GAME_TIMEOUT:-600}" xvfb-run -a xboard -noGUI -xexit \
      -settingsFile "$dir/settings-in" -saveSettingsFile "$dir/settings-out" -matchGames "$GAMES" -scp fairymax -secondComputerString '' -sd "$dir/other" -tc "$TC" -inc "$INC" -mps 0 \
      -xponder -saveGameFile "$dir/game.pgn" -nameOfDebugFile "$dir/xboard.debug" -debug "$@" \
      >"$dir/xboard.out" 2>&1)
  local rc=$?
  local results finished
  results="$(sed -n 's/^\[Result "\(.*\)"\]/\1/p' "$dir/game.pgn" 2>/dev/null | tr '\n' ' ')"
  finished="$(grep -c -E '^\[Result "(1-0|0-1|1/2-1/2)"\]' "$dir/game.pgn" 2>/dev/null)"
  if [ "$rc" -eq 0 ] && [ "${finished:-0}" -eq "$GAMES" ]; then
    pass "$name: $GAMES game(s) finished: $results"
  else
    fail "$name: $GAMES game(s) not finished (xboard exit $rc, results '$results'), see $dir"
  fi
  grep -q -i -E 'illegal|forfeit|crash|exited' "$dir/game.pgn" 2>/dev/null && fail "$name: $(grep -i -E 'illegal|forfeit|crash|exited' "$dir/game.pgn")"
  local strays
  strays="$(ls -A "$dir/work" | grep -v '^kelb701\.epd$')"
  [ -z "$strays" ] && pass "$name: nothing but a learning file written to the working folder" ||
    fail "$name: unexpected files in the working folder: $strays"
}

echo "install-check: xboard games (WinBoard protocol), engine registered as '$ENGINE', working folder empty"
play xboard -fcp "$ENGINE"
D="$OUT/xboard"
grep -q '<first : hash size = 64 MB$' "$D/xboard.debug" && pass "xboard: hash size = 64 MB" ||
  fail "xboard: no 'hash size = 64 MB' from the engine"
grep -q '<first : tellusererror kelb701.bok not found' "$D/xboard.debug" && fail "xboard: book not found"
awk '
  { i = index($0, " >first : "); o = index($0, " <first : ") }
  i && substr($0, i + 10) == "new" { moves = ""; thought = 0 }
  i && substr($0, i + 10) ~ /^[a-h][1-8][a-h][1-8][qrbn]?$/ { moves = moves " " substr($0, i + 10); thought = 0 }
  o && substr($0, o + 10) ~ /^ *[0-9]+ +-?[0-9]+ +[0-9]+ +[0-9]+/ { thought = 1 }
  o && substr($0, o + 10) ~ /^move / { m = substr($0, o + 15); if (!thought) print substr(moves, 2) "|" m;
                                       moves = moves " " m; thought = 0 }
' "$D/xboard.debug" >"$D/book-moves"
check_book_moves xboard "$D/book-moves"

echo "install-check: UCI games through polyglot (xboard -fUCI), working folder given with -fd"
mkdir -p "$OUT/uci/work"
play uci -fcp "$ENGINE" -fUCI -fd "$OUT/uci/work" \
  -adapterCommand "polyglot -noini -log true -lf \"$OUT/uci/polyglot.log\" -ec \"%fcp\" -ed \"%fd\""
D="$OUT/uci"
grep -q 'Engine->Adapter: hash size = 64 MB$' "$D/polyglot.log" 2>/dev/null && pass "uci: hash size = 64 MB" ||
  fail "uci: no 'hash size = 64 MB' from the engine (see $D/polyglot.log)"
grep -q 'Opening book (kelb701.bok) not found' "$D/polyglot.log" 2>/dev/null && fail "uci: book not found"
grep -q 'Adapter->Engine: uci$' "$D/polyglot.log" 2>/dev/null && pass "uci: the engine ran in UCI mode" ||
  fail "uci: polyglot never sent uci"
awk '
  { a = index($0, "Adapter->Engine: "); e = index($0, "Engine->Adapter: ") }
  a && substr($0, a + 17) ~ /^position / { p = substr($0, a + 17); k = index(p, " moves ");
                                           moves = k ? substr(p, k + 7) : "" }
  a && substr($0, a + 17) ~ /^go/ { thought = 0 }
  e && substr($0, e + 17) ~ /^info / { thought = 1 }
  e && substr($0, e + 17) ~ /^bestmove / { split(substr($0, e + 17), w, " "); if (!thought) print moves "|" w[2] }
' "$D/polyglot.log" >"$D/book-moves" 2>/dev/null
check_book_moves uci "$D/book-moves"

# xboard scans the plugin folder at start-up and adds the engines installed since it last saved its
# settings to its engine list, with the plugin file's command.
if [ -n "${INSTALLED:-}" ] && [ "$PREFIX" = "/usr" ]; then
  listed="$(sed -n '/^-firstChessProgramNames {/,/^}/p' "$OUT/xboard/settings-out" 2>/dev/null | grep -x -F "$ENGINE")"
  [ -n "$listed" ] && pass "xboard's engine list has the line: $listed" ||
    fail "xboard did not add the engine to its list (see $OUT/xboard/settings-out)"
else
  echo "  (xboard's engine list reads /usr/share/games/plugins only: checked with INSTALLED=/usr)"
fi

if [ "$failures" -eq 0 ]; then echo "install-check: passed"; else echo "install-check: $failures failure(s)"; fi
[ "$failures" -eq 0 ]

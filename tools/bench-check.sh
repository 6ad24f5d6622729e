#!/bin/sh
# Proof that work on the hot paths changed nothing the search sees: the bench signature, the perft counts of
# the standard positions and the fingerprint of evaluations and move lists must all keep their values.
# Usage: tools/bench-check.sh [path to kelb701-tool]   (default build/kelb701-tool)
TOOL=${1:-build/kelb701-tool}
[ -x "$TOOL" ] || { echo "bench-check: no tool at $TOOL" >&2; exit 2; }

BENCH_NODES=7133368
BENCH_LINES=7107a0003db69a06259b020a6d2ee0ed  # md5 of the per-position lines: nodes and scores
FINGERPRINT="1167305 nodes b99fad1e309730c0"
failures=0

check() {  # name expected actual
  if [ "$2" = "$3" ]; then
    printf 'ok    %-42s %s\n' "$1" "$3"
  else
    printf 'FAIL  %-42s %s (expected %s)\n' "$1" "$3" "$2"
    failures=$((failures + 1))
  fi
}

out=$("$TOOL" bench)
check "bench signature" "$BENCH_NODES" "$(echo "$out" | sed -n 's/^Total nodes: //p')"
check "bench nodes and scores per position" "$BENCH_LINES" "$(echo "$out" | grep '^Position' | md5sum | cut -d' ' -f1)"

# name | FEN | depth | published leaf count
while IFS='|' read -r name fen depth count; do
  [ -n "$name" ] || continue
  leaves=$("$TOOL" perft "$fen" "$depth" | tail -n 1)
  check "perft $name $depth" "$count" "$leaves"
done <<'LIST'
initial|rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1|5|4865609
kiwipete|r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1|4|4085603
rook ending|8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1|5|674624
promotions|r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1|4|422333
promotions mirrored|r2q1rk1/pP1p2pp/Q4n2/bbp1p3/Np6/1B3NBn/pPPP1PPP/R3K2R b KQ - 0 1|4|422333
discovered checks|rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8|4|2103487
symmetric middlegame|r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10|4|3894594
en passant pin|8/8/8/KPp4r/8/8/8/7k w - c6 0 1|5|23591
en passant beside a double step|8/8/3k4/8/2pP4/8/8/3K4 b - d3 0 1|5|16797
en passant removes the checker|8/8/8/2k5/3Pp3/8/8/4K3 b - d3 0 1|5|17879
castling rook captured|r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1|4|314346
LIST

fingerprint=$("$TOOL" fingerprint 3 | sed -n 's/^Fingerprint: //p')
check "fingerprint (eval, move lists)" "$FINGERPRINT" "$fingerprint"

if [ "$failures" -ne 0 ]; then
  echo "bench-check: $failures FAILED"
  exit 1
fi
echo "bench-check: all unchanged"

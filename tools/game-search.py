#!/usr/bin/env python3
"""The game search as the speed anchor runs it, but bounded by nodes so that a profiler sees the same work on
every run: UCI, Hash 32, no book, per position ucinewgame + position fen + go nodes N.

usage: tools/game-search.py [--nodes N] [--positions FILE] ENGINE [WRAPPER ARGS...]
  e.g. tools/game-search.py --nodes 400000 build/kelb701
       tools/game-search.py build-plain/kelb701 valgrind --tool=callgrind --callgrind-out-file=cg.out
  (valgrind wants a plain x86-64 build: make build BUILD=build-plain NATIVE=OFF)
Prints the engine's nodes per position and their sum (the count must not move for one build and N).
"""
import argparse, os, subprocess, sys, tempfile

here = os.path.dirname(os.path.abspath(__file__))
ap = argparse.ArgumentParser()
ap.add_argument('--nodes', type=int, default=400000)
ap.add_argument('--positions', default=None, help='EPD/FEN file (default: the six positions of the speed anchor)')
ap.add_argument('engine')
ap.add_argument('wrapper', nargs=argparse.REMAINDER)
a = ap.parse_args()

# The speed anchor's positions: opening, tactics, two middlegames, a knight and a rook ending.
ANCHOR = '''rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1
r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1
r3k2r/2pb1ppp/2pp1q2/p7/1nP1B3/1P2P3/P2N1PPP/R2QK2R w KQkq - 0 14
4rrk1/pp1n3p/3q2pQ/2p1pb2/2PP4/2P3N1/P2B2PP/4RRK1 b - - 7 19
6k1/6p1/6Pp/ppp5/3pn2P/1P3K2/1PP2P2/3N4 b - - 0 1
5k2/7R/4P2p/5K2/p1r2P1p/8/8/8 b - - 0 1'''
fens = []
for ln in (open(a.positions) if a.positions else ANCHOR.splitlines()):
    ln = ln.split(';')[0].strip()
    if ln and not ln.startswith('#'):
        f = ln.split()
        fens.append(' '.join((f + ['0', '1'])[:6]))

wd = tempfile.mkdtemp(prefix='game-search.')
cmd = a.wrapper + [os.path.abspath(a.engine)]
p = subprocess.Popen(cmd, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, cwd=wd,
                     text=True, bufsize=1)

def send(s):
    p.stdin.write(s + '\n'); p.stdin.flush()

def until(prefix):
    last = None
    for ln in p.stdout:
        if ln.startswith('info') and ' nodes ' in ln:
            last = ln
        if ln.startswith(prefix):
            return last
    sys.exit('engine ended before ' + prefix)

send('uci'); until('uciok')
send('setoption name Hash value 32'); send('setoption name OwnBook value false')
send('setoption name Ponder value false')
total = 0
for fen in fens:
    send('ucinewgame'); send('isready'); until('readyok')
    send('position fen ' + fen); send('go nodes %d' % a.nodes)
    last = until('bestmove')
    nodes = int(last.split(' nodes ')[1].split()[0]) if last else 0
    total += nodes
    print('%9d  %s' % (nodes, fen))
send('quit'); p.wait(60)
print('total %d' % total)

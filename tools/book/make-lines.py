#!/usr/bin/env python3
"""Makes the line list of the shipped opening book (data/openings.txt) from the hand-written main lines in
tools/book/main-lines.txt, with Stockfish as the judge.

usage: tools/book/make-lines.py [--stockfish PATH] [--depth 16] [--limit 60] [--cp-per-point 10]
                                [--cache FILE] [--dry] [main-lines.txt [openings.txt]]
  then: build/kelb701-tool makebook data/openings.txt data/kelb701.bok
  needs: apt-get install stockfish (one thread and a 32 MB hash; about 10 minutes of one core)
  --dry: no Stockfish searches; shows what each main line adds to the book and whether the tree fits

For every main line (moves in SAN, "#" starts a comment with the opening's name, "@plies N" sets how long
the following lines are made, "@N" after a line's moves sets it for that line):
1. the moves are checked against Stockfish's legal moves and written as coordinate moves; a line longer
   than its plies is cut there;
2. a line shorter than its plies is extended with Stockfish's best move at the judging depth;
3. the position after the last move is judged at that depth; while it leaves either side more than --limit
   centipawns worse, the line is cut back by one move and judged again;
4. a line that now ends where another line goes on (also through a transposition) gets no score: its moves
   lead into the other line's tree; a line that adds no move to the book is left out.
Each line of the list ends with its leaf score for makebook: Stockfish's score in points of --cp-per-point
centipawns, seen from the side that made the last move. The book's weighting gives a candidate 8 or more
points below the best nothing at all, so one point per 10 centipawns keeps every sound move in the choice
while the better ones are played more often. The same tree, transpositions merged as makebook merges them,
is then checked against what the book format holds and its "bk" shares at the start, after 1.e4 and after
1.d4 are printed.
Stockfish searches each position afresh (ucinewgame) to a fixed depth, so the list comes out the same on every
run with the same Stockfish; --cache keeps its answers between runs while the main lines are being edited.
"""
import argparse, json, os, re, subprocess, sys

here = os.path.dirname(os.path.abspath(__file__))
root = os.path.dirname(os.path.dirname(here))
ap = argparse.ArgumentParser()
ap.add_argument('--stockfish', default='/usr/games/stockfish')
ap.add_argument('--depth', type=int, default=16)
ap.add_argument('--limit', type=int, default=60, help='largest |score| in centipawns a leaf may have')
ap.add_argument('--cp-per-point', type=int, default=10)
ap.add_argument('--cache', default=None, help='JSON file that keeps Stockfish\'s answers between runs')
ap.add_argument('--dry', action='store_true', help='no extension and no judging: count the tree of the main lines')
ap.add_argument('mainlines', nargs='?', default=os.path.join(here, 'main-lines.txt'))
ap.add_argument('output', nargs='?', default=os.path.join(root, 'data', 'openings.txt'))
a = ap.parse_args()

# What kelb701.bok can hold: eight first moves, nine replies to a move, 1024 records.
ROOT_MOVES, MAX_REPLIES, MAX_RECORDS = 8, 9, 1024
WEIGHTS = [100, 72, 51, 37, 26, 19, 14, 10]
MATE = 30000


class Stockfish:
    def __init__(self, path):
        self.p = subprocess.Popen([path], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)
        self.send('uci')
        self.until('uciok')
        self.send('setoption name Threads value 1')
        self.send('setoption name Hash value 32')
        self.ready()

    def send(self, line):
        self.p.stdin.write(line + '\n')

    def until(self, prefix):
        lines = []
        while True:
            line = self.p.stdout.readline()
            if not line:
                sys.exit('make-lines: Stockfish ended')
            line = line.rstrip('\n')
            lines.append(line)
            if line.startswith(prefix):
                return lines

    def ready(self):
        self.send('isready')
        self.until('readyok')

    def position(self, moves):
        self.send('position startpos' + (' moves ' + ' '.join(moves) if moves else ''))

    def fen(self, moves):
        self.position(moves)
        self.send('d')
        for line in self.until('Checkers:'):
            if line.startswith('Fen: '):
                return line[5:]

    def legal(self, moves):
        self.position(moves)
        self.send('go perft 1')
        return [l.split(':')[0] for l in self.until('Nodes searched') if re.match(r'^[a-h][1-8][a-h][1-8][qrbn]?:', l)]

    def search(self, fen, depth):
        """Score for the side to move in centipawns and the best move, from a fresh search."""
        self.send('ucinewgame')
        self.ready()
        self.send('position fen ' + fen)
        self.send('go depth %d' % depth)
        score, best = None, None
        for line in self.until('bestmove'):
            m = re.search(r' score (cp|mate) (-?\d+)', line)
            # Aspiration failures print bounds; the last exact score is the search's result.
            if line.startswith('info') and m and 'bound' not in line:
                value = int(m.group(2))
                score = value if m.group(1) == 'cp' else (MATE if value > 0 else -MATE)
            if line.startswith('bestmove'):
                best = line.split()[1]
        if best in (None, '(none)'):
            best = None
        return score if score is not None else 0, best


sf = Stockfish(a.stockfish)
cache = {}
if a.cache and os.path.exists(a.cache):
    cache = json.load(open(a.cache))


def key(fen):
    return ' '.join(fen.split()[:4])


def judged(moves):
    """(score of the side to move, best move) of the position after the moves."""
    fen = sf.fen(moves)
    k = '%s @%d' % (key(fen), a.depth)
    if k not in cache:
        cache[k] = sf.search(fen, a.depth)
    return tuple(cache[k])


def board_of(fen):
    rows = fen.split()[0].split('/')
    squares = {}
    for r, row in enumerate(rows):
        f = 0
        for ch in row:
            if ch.isdigit():
                f += int(ch)
            else:
                squares['abcdefgh'[f] + str(8 - r)] = ch
                f += 1
    return squares, fen.split()[1]


def san_to_uci(san, moves):
    legal = sf.legal(moves)
    squares, side = board_of(sf.fen(moves))
    text = san.rstrip('+#!?')
    if text in ('O-O', 'O-O-O'):
        rank = '1' if side == 'w' else '8'
        move = 'e' + rank + ('g' if text == 'O-O' else 'c') + rank
        return move if move in legal else None
    promotion = ''
    if '=' in text:
        text, promotion = text.split('=')
        promotion = promotion.lower()
    piece = text[0] if text[0] in 'NBRQK' else 'P'
    body = text[1:] if piece != 'P' else text
    target = body[-2:]
    hint = body[:-2].replace('x', '')
    found = []
    for move in legal:
        if move[2:4] != target or move[4:] != promotion:
            continue
        on = squares.get(move[:2], '')
        if on.upper() != piece or (on.isupper() != (side == 'w')):
            continue
        if all(c in move[:2] for c in hint):
            found.append(move)
    return found[0] if len(found) == 1 else None


# 1. Read and check the main lines.
lines = []  # (moves, wanted plies, name)
plies = 0
for number, text in enumerate(open(a.mainlines), 1):
    body, _, name = text.partition('#')
    body = body.strip()
    if body.startswith('@plies'):
        plies = int(body.split()[1])
        continue
    if not body:
        continue
    moves, wanted = [], plies
    words = body.split()
    # "@N" after the moves: this line alone is made N plies long.
    if words and words[-1].startswith('@'):
        wanted = int(words.pop()[1:])
    for san in words:
        if re.match(r'^\d+\.+$', san):
            continue
        san = re.sub(r'^\d+\.+', '', san)
        move = san_to_uci(san, moves)
        if move is None:
            sys.exit('make-lines: %s line %d: %s is not a legal move after %s' % (a.mainlines, number, san, ' '.join(moves)))
        moves.append(move)
    lines.append((moves[:wanted] if wanted else moves, wanted, name.strip()))

# 2. and 3. Extend to the wanted length, then cut back until the leaf is sound.
done = []  # (moves, stockfish score of White, name, note)
for index, (moves, wanted, name) in enumerate(lines):
    moves = list(moves)
    if a.dry:
        if len(moves) < wanted:
            print('%2d to extend  %s' % (wanted - len(moves), name), file=sys.stderr)
        done.append((moves, 0, name, ''))
        continue
    while len(moves) < wanted:
        _, best = judged(moves)
        if best is None:
            break
        moves.append(best)
    written = len(moves)
    while moves:
        score, _ = judged(moves)
        white = score if len(moves) % 2 == 0 else -score
        if abs(white) <= a.limit:
            break
        moves.pop()
    if not moves:
        print('left out (no sound leaf): %s' % name, file=sys.stderr)
        continue
    note = '' if len(moves) == written else 'cut from %d plies' % written
    done.append((moves, white, name, note))
    print('%3d/%d %+4d %2d plies %s %s' % (index + 1, len(lines), white, len(moves), name, note), file=sys.stderr)
if a.cache:
    json.dump(cache, open(a.cache, 'w'), indent=0, sort_keys=True)

# 4. The tree of positions, transpositions merged: a position's replies are shared by every line through it.
fens = {}


def node_of(moves):
    t = tuple(moves)
    if t not in fens:
        fens[t] = key(sf.fen(moves))
    return fens[t]


edges = {}  # position -> {move: next position}, in the order the lines bring them
for moves, _, _, _ in done:
    for n in range(len(moves)):
        here_ = node_of(moves[:n])
        edges.setdefault(here_, {})
        edges[here_].setdefault(moves[n], node_of(moves[:n + 1]))
# A line that ends where another goes on (a transposition, or a shorter line) has no leaf of its own: its
# moves lead into the other line's tree, and it gets no score. A line that adds no move at all is left out.
kept, counted = [], set()
for moves, white, name, note in done:
    new = [(node_of(moves[:n]), moves[n]) for n in range(len(moves))]
    new = [edge for edge in new if edge not in counted]
    if not new:
        print('left out (adds no move): %s' % name, file=sys.stderr)
        continue
    counted.update(new)
    if a.dry:
        print('%3d new  %s' % (len(new), name), file=sys.stderr)
    kept.append((moves, white, name, note))
start = node_of([])
records = sum(len(e) for e in edges.values())
problems = []
if len(edges[start]) != ROOT_MOVES:
    problems.append('%d first moves, the book needs %d' % (len(edges[start]), ROOT_MOVES))
for position, e in edges.items():
    if len(e) > MAX_REPLIES:
        problems.append('%d replies in %s, at most %d fit' % (len(e), position, MAX_REPLIES))
if records > MAX_RECORDS:
    problems.append('%d moves, at most %d fit' % (records, MAX_RECORDS))


def points(white_cp, white_moved):
    p = int(abs(white_cp) / a.cp_per_point + 0.5) * (1 if white_cp >= 0 else -1)
    return p if white_moved else -p


# The book's negamax and weighting, to show the shares "bk" will list.
leaf_points = {}
for moves, white, _, _ in kept:
    if node_of(moves) not in edges:
        leaf_points[node_of(moves)] = points(white, len(moves) % 2 == 1)


def value(position):
    """Value for the side to move in position (negamax over the book tree)."""
    return max(leaf_points[nxt] if nxt not in edges else -value(nxt) for nxt in edges[position].values())


def shares(moves):
    position = node_of(moves)
    scores = {m: (leaf_points[n] if n not in edges else -value(n)) for m, n in edges[position].items()}
    best = max(scores.values())
    w = {m: (WEIGHTS[best - s] if best - s < 8 else 0) for m, s in scores.items()}
    total = sum(w.values())
    return ' '.join('%s %d %d%%' % (m, scores[m], 100 * w[m] // total) for m in scores)


for label, moves in (('start: ', []), ('1.e4:  ', ['e2e4']), ('1.d4:  ', ['d2d4'])):
    if node_of(moves) in edges:
        print(label, shares(moves))
# A tree the book cannot hold is reported, and the list is left as it was.
for p in problems:
    print('make-lines: ' + p, file=sys.stderr)
sf.send('quit')
if problems:
    sys.exit(1)

with open(a.output, 'w') as out:
    out.write('# The lines of the shipped opening book, made by tools/book/make-lines.py from tools/book/main-lines.txt\n')
    out.write('# (Stockfish depth %d, leaves within +-%d centipawns, one point per %d centipawns).\n'
              % (a.depth, a.limit, a.cp_per_point))
    out.write('# Build the book with:  kelb701-tool makebook data/openings.txt data/kelb701.bok\n')
    out.write('# Each line: coordinate moves from the initial position, then the leaf score in points for the\n')
    out.write('# side that made the last move; the comment gives Stockfish\'s score for White in centipawns.\n')
    for moves, white, name, note in kept:
        if node_of(moves) in edges:
            out.write('%s  # %s, goes on in another line\n' % (' '.join(moves), name))
        else:
            out.write('%s %+d  # %s, %+d%s\n' % (' '.join(moves), points(white, len(moves) % 2 == 1), name,
                                               white, ', ' + note if note else ''))

scores = [w for moves, w, _, _ in kept if node_of(moves) not in edges]
print('%d lines, %d positions, %d moves in the book, leaves %+d..%+d centipawns' %
      (len(kept), len(set(edges) | set(leaf_points)) - 1, records, min(scores), max(scores)))

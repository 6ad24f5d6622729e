#!/usr/bin/env python3
"""Table of xboard matches: results of our engine and the problems counted, per opponent, control and protocol.

   match-report.py MATCH_DIR...

Each folder holds what gui-check.sh left there: meta.json, games.pgn, xboard.debug, meter.json and the
polyglot logs. Problems are charged to the side that suffered them: an illegal move, a loss on time, a
crash or disconnect, a false claim, a stalled match (timeout, unfinished games). Our engine must show none,
its folder's settings must be in use (the hash line), a limited stockfish must really get its limit, and with
pondering on our engine must really think on the opponent's time. Exit code 1 when any of that fails.
"""
import json
import os
import re
import sys

OURS = 'Kelb'
PONDER_MIN = 0.3  # processor time rate on the opponent's move, relative to the own move, that counts as pondering

ILLEGAL = re.compile(r'illegal move|invalid move', re.I)
TIME = re.compile(r'wins on time|flag fell|on time|time forfeit', re.I)
CRASH = re.compile(r'exited unexpectedly|crash|disconnect|terminated|died|killed', re.I)
CLAIM = re.compile(r'false (illegal-move |win |draw )?claim', re.I)


def read(path):
    try:
        with open(path, errors='replace') as f:
            return f.read()
    except OSError:
        return ''


def games_of(pgn):
    """(white, black, result, closing comment) of each game."""
    games = []
    for block in re.split(r'\n(?=\[Event )', pgn):
        tags = dict(re.findall(r'^\[(\w+) "(.*)"\]$', block, re.M))
        if 'Result' not in tags:
            continue
        body = block[block.rfind(']') + 1:].strip()
        m = re.search(r'\{([^{}]*)\}\s*(1-0|0-1|1/2-1/2|\*)\s*$', body)
        games.append((tags.get('White', ''), tags.get('Black', ''), tags['Result'], m.group(1) if m else ''))
    return games


def unanswered_ping(debug, side):
    """True when xboard's last "ping" to this side never got its "pong"."""
    pings = re.findall(rf'^\d+ >{side} ?: ping (\d+)$', debug, re.M)
    return bool(pings) and not re.search(rf'^\d+ <{side} ?: pong {pings[-1]}$', debug, re.M)


def analyse(folder):
    meta = json.loads(read(os.path.join(folder, 'meta.json')) or '{}')
    name = meta.get('name', os.path.basename(folder.rstrip('/')))
    parts = name.split('-')
    row = {
        'name': name,
        'opponent': parts[0], 'protocol': parts[1] if len(parts) > 1 else '?',
        'control': parts[2] if len(parts) > 2 else '?', 'ponder': name.endswith('-ponder'),
        'wins': 0, 'draws': 0, 'losses': 0, 'played': 0, 'wanted': meta.get('games', 0),
        'ours': {'illegal': 0, 'time': 0, 'crash': 0, 'claim': 0},
        'theirs': {'illegal': 0, 'time': 0, 'crash': 0, 'claim': 0},
        'stall': 0, 'unplayed': 0, 'checks': [], 'notes': [],
    }
    for white, black, result, comment in games_of(read(os.path.join(folder, 'games.pgn'))):
        if result == '*':
            row['stall'] += 1
            continue
        row['played'] += 1
        we_are_white = OURS in white
        if result == '1/2-1/2':
            row['draws'] += 1
            loser = None
        else:
            white_won = result == '1-0'
            if white_won == we_are_white:
                row['wins'] += 1
                loser = 'theirs'
            else:
                row['losses'] += 1
                loser = 'ours'
        if loser:
            for kind, pattern in (('claim', CLAIM), ('illegal', ILLEGAL), ('time', TIME), ('crash', CRASH)):
                if pattern.search(comment):
                    row[loser][kind] += 1
                    break

    debug = read(os.path.join(folder, 'xboard.debug'))
    # Our engine refusing a move, or xboard refusing one of ours, even where the game went on.
    refused = len(re.findall(r'^\d+ <first : Illegal move', debug, re.M))
    rejected = len(re.findall(r'Illegal move "[^"]*" from first machine', debug))
    row['ours']['illegal'] += refused + rejected
    # A program that died: xboard says so in its log or on its own output.
    out = read(os.path.join(folder, 'xboard.out'))
    for side in ('first', 'second'):
        died = 0
        for pattern in (rf'Error: {side} chess program \(.*\) exited unexpectedly', rf'Error writing to {side} chess program'):
            died += max(len(re.findall(pattern, debug)), len(re.findall(pattern, out)))
        row['ours' if side == 'first' else 'theirs']['crash'] += died
    if meta.get('exit') == 124:
        # A match that ran out of time: when the opponent left xboard's last "ping" unanswered and ours
        # answered, the opponent is the one that hung.
        if unanswered_ping(debug, 'second') and not unanswered_ping(debug, 'first'):
            row['theirs']['crash'] += 1
            row['notes'].append('the opponent stopped answering "ping"')
        else:
            row['stall'] += 1
    missing = row['wanted'] - row['played'] - row['stall']
    if missing > 0:
        # Games a dead opponent could not play are its loss of the match, not a stall of ours.
        if row['theirs']['crash'] and not row['ours']['crash']:
            row['unplayed'] = missing
            row['notes'].append(f'{missing} game(s) not played: the opponent died')
        else:
            row['stall'] += missing

    # The control the engines were given must be the one named.
    levels = set(re.findall(r'>first : (level \S+ \S+ \S+)', debug))
    wanted = {'fast': 'level 0 1 0.1', 'blitz': 'level 40 0:15 0'}.get(row['control'])
    row['level'] = ', '.join(sorted(levels)) or None
    if wanted and levels and levels != {wanted}:
        row['checks'].append(f'time control sent was "{row["level"]}", not "{wanted}"')
    # The engine's folder holds its settings: the hash line shows the configured table.
    first_log = debug + read(os.path.join(folder, 'kelb', 'polyglot.log'))
    hash_line = re.search(r'hash size = (\d+) MB', first_log)
    row['hash'] = hash_line.group(1) if hash_line else None
    if not hash_line or hash_line.group(1) == '0':
        row['checks'].append('no "hash size" line with a table: the engine did not read its folder')
    # A limited stockfish must really be sent its limit.
    if row['opponent'].startswith('sf'):
        elo = row['opponent'][2:]
        sent = re.search(r'>second: option UCI_LimitStrength=1', debug) and re.search(rf'>second: option UCI_Elo={elo}\b', debug)
        plog = read(os.path.join(folder, 'other', 'polyglot.log'))
        reached = re.search(r'setoption name UCI_LimitStrength value true', plog) and re.search(rf'setoption name UCI_Elo value {elo}\b', plog)
        row['limit'] = 'yes' if sent and reached else 'NO'
        if row['limit'] != 'yes':
            row['checks'].append(f'stockfish did not get UCI_LimitStrength=1, UCI_Elo={elo} (sent: {bool(sent)}, reached: {bool(reached)})')
    # Pondering: processor time per second of the opponent's move, against the same rate on the own move
    # (what the engine gets from a loaded machine when it surely thinks). Near 1 ponders, near 0 idles.
    meter = json.loads(read(os.path.join(folder, 'meter.json')) or '{}')
    for side, key in (('first', 'ponder_ours'), ('second', 'ponder_theirs')):
        opp = 'second' if side == 'first' else 'first'
        try:
            own_rate = meter['cpu'][side]['own'] / meter['wall'][side]
            opp_rate = meter['cpu'][side]['opponent'] / meter['wall'][opp]
            # Too little thinking of its own to compare with (book moves only, or a dead opponent).
            row[key] = opp_rate / own_rate if meter['wall'][side] >= 5 and own_rate > 0 else None
        except (KeyError, TypeError, ZeroDivisionError):
            row[key] = None
    if row['ponder']:
        if row['ponder_ours'] is None:
            row['notes'].append('pondering not measurable: our engine had too little thinking of its own')
        elif row['ponder_ours'] < PONDER_MIN:
            row['checks'].append('pondering asked for, but our engine was idle on the opponent\'s move')
        if row['protocol'] == 'uci' and not re.search(r'Adapter->Engine: go .*\bponder\b', read(os.path.join(folder, 'kelb', 'polyglot.log'))):
            row['checks'].append('pondering asked for, but polyglot never sent "go ... ponder" to our engine')
    return row


def main(folders):
    rows = [analyse(f) for f in folders if os.path.isdir(f)]
    head = f'{"match":<26} {"games":>7} {"+":>3} {"=":>3} {"-":>3}  {"ours: ill time crash claim":<27} {"theirs: ill time crash":<23} {"stall":>5} {"hash":>4} {"limit":>5} {"ponder us/them":>15}'
    print(head)
    print('-' * len(head))
    bad = False
    totals = {'played': 0, 'wins': 0, 'draws': 0, 'losses': 0}
    for r in rows:
        o, t = r['ours'], r['theirs']
        def ratio(x):
            return '  ? ' if x is None else f'{x:4.2f}'
        print(f'{r["name"]:<26} {r["played"]:>3}/{r["wanted"]:<3} {r["wins"]:>3} {r["draws"]:>3} {r["losses"]:>3}  '
              f'{o["illegal"]:>9} {o["time"]:>4} {o["crash"]:>5} {o["claim"]:>5}  '
              f'{t["illegal"]:>12} {t["time"]:>4} {t["crash"]:>5} {r["stall"]:>5} {r["hash"] or "-":>4} {r.get("limit", "-"):>5} '
              f'{ratio(r["ponder_ours"]):>7}/{ratio(r["ponder_theirs"])}')
        for k in totals:
            totals[k] += r[k]
        problems = sum(o.values()) + r['stall']
        if problems or r['checks'] or r['played'] + r['unplayed'] < r['wanted']:
            bad = True
        for c in r['checks']:
            print(f'    ! {c}')
        for n in r['notes']:
            print(f'    - {n}')
    if len(rows) > 1:
        print('-' * len(head))
        print(f'{"all":<26} {totals["played"]:>7} {totals["wins"]:>3} {totals["draws"]:>3} {totals["losses"]:>3}')
    return 1 if bad or not rows else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))

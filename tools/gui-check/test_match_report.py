#!/usr/bin/env python3
"""The match report must charge every kind of problem to the right side and miss none of the set-up faults."""
import importlib.util
import io
import json
import os
import tempfile
import unittest
from contextlib import redirect_stdout

HERE = os.path.dirname(os.path.abspath(__file__))
loader = importlib.util.spec_from_file_location('match_report', os.path.join(HERE, 'match-report.py'))
report = importlib.util.module_from_spec(loader)
loader.loader.exec_module(report)


def game(white, black, result, comment):
    return (f'[Event "Computer Chess Game"]\n[White "{white}"]\n[Black "{black}"]\n[Result "{result}"]\n\n'
            f'1. e4 e5 {{{comment}}} {result}\n\n')


FOLDERS = []  # kept until the module ends: a folder must outlive the expression that made it


def tearDownModule():
    for tmp in FOLDERS:
        tmp.cleanup()


class MatchFolder:
    def __init__(self, name, games, pgn, debug='', ours_log='', other_log='', meter=None, exit_code=0):
        self.tmp = tempfile.TemporaryDirectory()
        FOLDERS.append(self.tmp)
        self.path = os.path.join(self.tmp.name, name)
        os.makedirs(os.path.join(self.path, 'kelb'))
        os.makedirs(os.path.join(self.path, 'other'))
        files = {
            'meta.json': json.dumps({'name': name, 'games': games, 'exit': exit_code}),
            'games.pgn': pgn, 'xboard.debug': debug,
            'kelb/polyglot.log': ours_log, 'other/polyglot.log': other_log,
            'meter.json': json.dumps(meter or {}),
        }
        for rel, text in files.items():
            with open(os.path.join(self.path, rel), 'w') as f:
                f.write(text)


PONDERING = {'cpu': {'first': {'own': 10, 'opponent': 9}, 'second': {'own': 10, 'opponent': 8}},
             'wall': {'first': 20, 'second': 20}}
IDLE = {'cpu': {'first': {'own': 10, 'opponent': 0.2}, 'second': {'own': 10, 'opponent': 8}},
        'wall': {'first': 20, 'second': 20}}
HASH = '100 <first : hash size = 64 MB\n'


class ReportTest(unittest.TestCase):
    def test_results_and_problems_are_charged_to_the_loser(self):
        pgn = (game('Kelb 7.01', 'Phalanx XXV', '1-0', 'Black resigns')
               + game('Phalanx XXV', 'Kelb 7.01', '1-0', 'White wins on time')        # our time loss
               + game('Phalanx XXV', 'Kelb 7.01', '1-0', "Black's flag fell")         # and another
               + game('Kelb 7.01', 'Phalanx XXV', '0-1', 'Xboard: Forfeit due to invalid move: e2e5 (e2e5 via e2e5) res=1')
               + game('Phalanx XXV', 'Kelb 7.01', '1-0', 'Xboard: Forfeit due to invalid move: h7h9 res=1')
               + game('Kelb 7.01', 'Phalanx XXV', '1/2-1/2', 'Drawn game')
               + game('Kelb 7.01', 'Phalanx XXV', '0-1', 'False draw claim: \'repetition\'')
               + game('Kelb 7.01', 'Phalanx XXV', '*', 'xboard exit'))
        debug = HASH + '500 <second: Illegal move: computer\n' \
                       'Error: second chess program (phalanx) exited unexpectedly\n'
        m = MatchFolder('phalanx-wb-fast', 8, pgn, debug)
        row = report.analyse(m.path)
        self.assertEqual((row['played'], row['wins'], row['draws'], row['losses']), (7, 1, 1, 5))
        self.assertEqual(row['ours'], {'illegal': 2, 'time': 2, 'crash': 0, 'claim': 1})
        self.assertEqual(row['theirs'], {'illegal': 0, 'time': 0, 'crash': 1, 'claim': 0})
        self.assertEqual(row['stall'], 1)  # the unfinished game
        self.assertEqual(row['checks'], [])

    def test_our_engine_refusing_moves_crashing_or_stalling_is_seen_in_the_log(self):
        debug = (HASH + '900 <first : Illegal move: e7e5\n'
                 'Illegal move "e2e5" from first machine\n'
                 'Error: first chess program (/x/kelb701) exited unexpectedly\n')
        m = MatchFolder('fairymax-wb-blitz', 3, game('Kelb 7.01', 'Fairy-Max 5.0b', '1-0', 'Black resigns'), debug, exit_code=124)
        row = report.analyse(m.path)
        self.assertEqual(row['ours']['illegal'], 2)
        self.assertEqual(row['ours']['crash'], 1)
        self.assertEqual(row['stall'], 2)  # the timeout and the games it cost
        with redirect_stdout(io.StringIO()):
            self.assertEqual(report.main([m.path]), 1)

    def test_games_a_dead_opponent_could_not_play_are_not_our_stall(self):
        pgn = game('Kelb 7.01', 'GNU Chess', '1-0', 'White wins on time')
        m = MatchFolder('gnuchess-wb-fast', 2, pgn, HASH)
        with open(os.path.join(m.path, 'xboard.out'), 'w') as f:
            f.write('xboard: Error writing to second chess program: Broken pipe\n')
        row = report.analyse(m.path)
        self.assertEqual((row['theirs']['time'], row['theirs']['crash'], row['stall'], row['unplayed']), (1, 1, 0, 1))
        with redirect_stdout(io.StringIO()):
            self.assertEqual(report.main([m.path]), 0)
        # The same silence from our side is a stall.
        m = MatchFolder('gnuchess-wb-fast', 2, pgn, HASH)
        self.assertEqual(report.analyse(m.path)['stall'], 1)
        # An opponent that never answers xboard's "ping" after a game holds the match until it times out:
        # its hang, not ours; the same unanswered "ping" on our side is our stall.
        pings = '10 >first : ping 4\n10 >second: ping 1\n11 <first : pong 4\n'
        m = MatchFolder('gnuchess-uci-blitz', 5, pgn, HASH + pings, exit_code=124)
        row = report.analyse(m.path)
        self.assertEqual((row['theirs']['crash'], row['stall'], row['unplayed']), (1, 0, 4))
        pings = '10 >first : ping 4\n10 >second: ping 1\n11 <second: pong 1\n'
        m = MatchFolder('gnuchess-uci-blitz', 5, pgn, HASH + pings, exit_code=124)
        self.assertEqual(report.analyse(m.path)['stall'], 4)  # the timeout and the 3 games it cost

    def test_the_control_sent_must_be_the_one_named(self):
        pgn = game('Kelb 7.01', 'Phalanx XXV', '1-0', 'Black resigns')
        row = report.analyse(MatchFolder('phalanx-wb-blitz', 1, pgn, HASH + '5 >first : level 0 0:15 0\n').path)
        self.assertIn('not "level 40 0:15 0"', row['checks'][0])
        row = report.analyse(MatchFolder('phalanx-wb-blitz', 1, pgn, HASH + '5 >first : level 40 0:15 0\n').path)
        self.assertEqual(row['checks'], [])
        row = report.analyse(MatchFolder('phalanx-wb-fast', 1, pgn, HASH + '5 >first : level 0 1 0.1\n').path)
        self.assertEqual(row['checks'], [])

    def test_set_up_faults(self):
        # No hash line: the engine ran without its folder's settings.
        m = MatchFolder('gnuchess-wb-fast', 1, game('Kelb 7.01', 'GNU Chess', '1-0', 'White mates'), '100 <first : hash size = 0 MB\n')
        self.assertIn('hash size', report.analyse(m.path)['checks'][0])
        # A limit written the way polyglot does not understand never reaches stockfish.
        debug = HASH + '10 >second: option UCI_LimitStrength=true\n10 >second: option UCI_Elo=1500\n'
        m = MatchFolder('sf1500-uci-fast', 1, game('Kelb 7.01', 'Stockfish 15.1', '0-1', 'Black mates'), debug,
                        ours_log='Engine->Adapter: hash size = 64 MB\n', other_log='Adapter->Engine: setoption name UCI_Elo value 1500\n')
        row = report.analyse(m.path)
        self.assertEqual(row['limit'], 'NO')
        debug = HASH + '10 >second: option UCI_LimitStrength=1\n10 >second: option UCI_Elo=2000\n'
        plog = 'Adapter->Engine: setoption name UCI_LimitStrength value true\nAdapter->Engine: setoption name UCI_Elo value 2000\n'
        m = MatchFolder('sf2000-wb-fast', 1, game('Kelb 7.01', 'Stockfish 15.1', '0-1', 'Black mates'), debug, other_log=plog)
        row = report.analyse(m.path)
        self.assertEqual((row['limit'], row['checks']), ('yes', []))

    def test_pondering_must_be_real_when_asked_for(self):
        pgn = game('Kelb 7.01', 'Phalanx XXV', '1-0', 'Black resigns')
        row = report.analyse(MatchFolder('phalanx-wb-fast-ponder', 1, pgn, HASH, meter=PONDERING).path)
        self.assertEqual(row['checks'], [])
        self.assertAlmostEqual(row['ponder_ours'], 0.9)
        row = report.analyse(MatchFolder('phalanx-wb-fast-ponder', 1, pgn, HASH, meter=IDLE).path)
        self.assertIn('idle', row['checks'][0])
        # Under UCI polyglot must also have sent "go ... ponder".
        row = report.analyse(MatchFolder('phalanx-uci-fast-ponder', 1, pgn, HASH, meter=PONDERING,
                                         ours_log='Adapter->Engine: go wtime 100 btime 100\n').path)
        self.assertIn('go ... ponder', row['checks'][0])
        row = report.analyse(MatchFolder('phalanx-uci-fast-ponder', 1, pgn, HASH, meter=PONDERING,
                                         ours_log='Adapter->Engine: go wtime 100 btime 100 ponder\n').path)
        self.assertEqual(row['checks'], [])
        # Without pondering asked for, idling is right.
        row = report.analyse(MatchFolder('phalanx-wb-blitz', 1, pgn, HASH, meter=IDLE).path)
        self.assertEqual(row['checks'], [])


if __name__ == '__main__':
    unittest.main()

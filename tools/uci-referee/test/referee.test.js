'use strict';
// The referee's own judgement: it must accept what sound engines send and reject each kind of fault.
const test = require('node:test');
const assert = require('node:assert');

const { parseOption, parseInfo, parseBestmove } = require('../lib/uci-lines');
const { moveForcesMate, forcesMate, setUp } = require('../lib/chess-check');
const { judgeSearch, judgeMultiPv, Report, newCase, checkOwnData } = require('../referee');

test('option lines of both engines are read with their values', () => {
  const spin = parseOption('option name Hash type spin default 2 min 2 max 1023');
  assert.deepStrictEqual(spin, { ok: true, name: 'Hash', type: 'spin', default: 2, min: 2, max: 1023 });
  assert.deepStrictEqual(parseOption('option name Clear Hash type button'), { ok: true, name: 'Clear Hash', type: 'button' });
  assert.strictEqual(parseOption('option name UCI_LimitStrength type check default false').default, false);
  const emptyString = parseOption('option name Debug Log File type string default ');
  assert.strictEqual(emptyString.ok, true);
  assert.strictEqual(emptyString.name, 'Debug Log File');
  assert.strictEqual(emptyString.default, '');
  assert.strictEqual(parseOption('option name SyzygyPath type string default <empty>').default, '<empty>');
  const combo = parseOption('option name Style type combo default Normal var Solid var Normal var Risky');
  assert.deepStrictEqual(combo.vars, ['Solid', 'Normal', 'Risky']);
});

test('option lines with faults are refused', () => {
  for (const line of [
    'option name Hash type spin default 2 min 2',              // no max
    'option name Hash type spin default 1 min 2 max 1023',     // default below min
    'option name Hash type spin default two min 2 max 1023',   // not a number
    'option name Ponder type check default yes',
    'option name Ponder type check',
    'option name Clear Hash type button default 1',
    'option name Style type combo default Wild var Solid var Normal',
    'option name X type slider default 1',
    'option Hash type spin default 2 min 2 max 1023',
  ]) {
    assert.strictEqual(parseOption(line).ok, false, line);
  }
});

test('info lines: every UCI field is read, faults are named', () => {
  const sf = parseInfo('info depth 3 seldepth 2 multipv 1 score mate 1 nodes 51 nps 51000 hashfull 0 tbhits 0 time 1 pv a1a8');
  assert.strictEqual(sf.ok, true);
  assert.deepStrictEqual(sf.score, { unit: 'mate', value: 1 });
  assert.deepStrictEqual(sf.pv, ['a1a8']);
  const bound = parseInfo('info depth 12 score cp -35 upperbound nodes 100 time 5 pv e7e8q d1d8');
  assert.deepStrictEqual(bound.score, { unit: 'cp', value: -35, bound: 'upperbound' });
  assert.deepStrictEqual(bound.pv, ['e7e8q', 'd1d8']);
  const cur = parseInfo('info depth 6 nodes 120000 time 1100 nps 109000 currmove g1f3 currmovenumber 2 hashfull 12');
  assert.strictEqual(cur.currmove, 'g1f3');
  assert.strictEqual(parseInfo('info string anything at all: depth x pv ?').string, 'anything at all: depth x pv ?');
  assert.deepStrictEqual(parseInfo('info depth 5 wdl 300 600 100 score cp 20').wdl, [300, 600, 100]);

  const faults = {
    'info depth': 'needs a non-negative integer',
    'info depth -1': 'needs a non-negative integer',
    'info depth 05': 'needs a non-negative integer',
    'info score 35': 'neither cp nor mate',
    'info score cp 3.5': 'needs an integer',
    'info depth 3 pv e2e4 E7E5': 'unknown word "E7E5"',
    'info depth 3 pv': 'without a move',
    'info nodes 10 nodes 20': 'given twice',
    'info depth 3 seldepht 4': 'unknown word',
    'info currmove e2e9': 'not a move',
  };
  for (const [line, error] of Object.entries(faults)) {
    const p = parseInfo(line);
    assert.strictEqual(p.ok, false, line);
    assert.ok(p.error.includes(error), `${line}: ${p.error}`);
  }
});

test('bestmove lines: moves, ponder moves and the null move', () => {
  assert.deepStrictEqual(parseBestmove('bestmove e7e8q ponder a1a2'), { ok: true, bestmove: 'e7e8q', ponder: 'a1a2', isNull: false });
  assert.strictEqual(parseBestmove('bestmove (none)').isNull, true);
  assert.strictEqual(parseBestmove('bestmove 0000').isNull, true);
  for (const line of ['bestmove', 'bestmove e2e4 ponder', 'bestmove e7e8Q', 'bestmove e2e4 pondr e7e5', 'bestmove 0000 ponder e7e5', 'bestmove O-O'])
    assert.strictEqual(parseBestmove(line).ok, false, line);
});

function judge(lines, ctx) {
  const c = newCase('t');
  const report = new Report();
  const chess = setUp(ctx.fen || 'startpos', ctx.moves || []);
  const legal = chess.moves({ verbose: true }).map((m) => m.lan);
  const best = judgeSearch(c, report, lines.map((text) => ({ text, at: 0 })), { rootFen: chess.fen(), legal, go: ctx.go || {}, expect: ctx.expect, readyAsked: ctx.readyAsked, hitAt: ctx.hitAt });
  return { failures: c.failures, notes: [...report.notes.keys()], best };
}

test('a sound search passes', () => {
  const r = judge(['info depth 1 score cp 20 time 0 nodes 20 pv e2e4', 'info depth 2 score cp 0 time 1 nodes 60 pv e2e4 e7e5', 'bestmove e2e4 ponder e7e5'], {});
  assert.deepStrictEqual(r.failures, []);
  assert.strictEqual(r.best.bestmove, 'e2e4');
});

test('illegal moves anywhere in a search are caught', () => {
  const cases = [
    [['info depth 2 score cp 0 time 1 nodes 60 pv e2e4 e2e4', 'bestmove e2e4'], 'move 2 of the line'],
    [['bestmove e2e5'], 'e2e5 is not legal'],
    [['bestmove e2e4 ponder e2e4'], 'ponder move after e2e4'],
    [['info depth 6 nodes 100 time 1000 nps 100 currmove e1e2 currmovenumber 1', 'bestmove e2e4'], 'currmove e1e2'],
    [['bestmove 0000'], 'null bestmove'],
  ];
  for (const [lines, expected] of cases) {
    const r = judge(lines, {});
    assert.ok(r.failures.some((f) => f.includes(expected)), `${lines.join(' | ')}: ${r.failures.join('; ')}`);
  }
  // A pawn reaching the last rank needs its promotion letter, and only it.
  const promo = { fen: '4k3/P7/8/8/8/8/8/4K3 w - - 0 1' };
  assert.ok(judge(['bestmove a7a8'], promo).failures[0].includes('legal forms: a7a8n a7a8b a7a8r a7a8q'));
  assert.deepStrictEqual(judge(['bestmove a7a8q'], promo).failures, []);
  assert.ok(judge(['bestmove e1e2q'], promo).failures.length === 1);
});

test('search limits, counters and expectations are enforced', () => {
  const deep = judge(['info depth 6 score cp 0 time 1 nodes 60 pv e2e4', 'bestmove e2e4'], { go: { depth: 5 } });
  assert.ok(deep.failures[0].includes('beyond the limit'));
  const back = judge(['info depth 1 score cp 0 time 5 nodes 60 pv e2e4', 'info depth 2 score cp 0 time 6 nodes 50 pv e2e4', 'bestmove e2e4'], {});
  assert.ok(back.failures[0].includes('nodes went back'));
  const outside = judge(['info depth 1 score cp 0 time 0 nodes 6 pv e2e4', 'bestmove e2e4'], { go: { searchmoves: ['a2a3', 'h2h3'] } });
  assert.strictEqual(outside.failures.length, 2);
  const unasked = judge(['readyok', 'bestmove e2e4'], {});
  assert.ok(unasked.failures[0].includes('nobody asked'));
  assert.deepStrictEqual(judge(['readyok', 'bestmove e2e4'], { readyAsked: true }).failures, []);

  // The search time may start again once, at ponderhit; before it, never.
  const lines = ['info depth 5 score cp 0 time 300 nodes 600 pv e2e4', 'info depth 6 score cp 0 time 20 nodes 900 pv e2e4', 'bestmove e2e4'];
  const hit = judge(lines, { hitAt: 1 });
  assert.deepStrictEqual(hit.failures, []);
  assert.strictEqual(hit.notes.length, 1);
  assert.ok(judge(lines, {}).failures[0].includes('time went back'));

  const mate = { fen: '6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1', expect: { mateIn: 1 } };
  assert.deepStrictEqual(judge(['info depth 1 score mate 1 time 0 nodes 5 pv a1a8', 'bestmove a1a8'], mate).failures, []);
  assert.strictEqual(judge(['info depth 1 score cp 500 time 0 nodes 5 pv a1a7', 'bestmove a1a7'], mate).failures.length, 2);
  assert.ok(judge(['info depth 1 score mate 0 time 0 nodes 5 pv a1a8', 'bestmove a1a8'], mate).failures[0].includes('mate 0'));

  const stale = { fen: 'k7/8/1Q6/8/8/8/8/7K w - - 0 1', expect: { noStalemate: true } };
  assert.ok(judge(['bestmove h1g1'], stale).failures[0].includes('stalemates'));
  assert.deepStrictEqual(judge(['bestmove b6d6'], stale).failures, []);

  const over = { fen: '5k2/5P2/5K2/8/8/8/8/8 b - - 0 1' };
  assert.deepStrictEqual(judge(['info depth 0 score cp 0', 'bestmove (none)'], over).failures, []);
  assert.deepStrictEqual(judge(['bestmove 0000'], over).failures, []);
  assert.strictEqual(judge(['bestmove f8e8'], over).failures.length, 1);
});

test('lines outside UCI are noted, not failed', () => {
  const r = judge(['1/2-1/2 {Stalemate}', 'bestmove e2e4'], {});
  assert.deepStrictEqual(r.failures, []);
  assert.strictEqual(r.notes.length, 1);
  assert.ok(judge(['uciok', 'bestmove e2e4'], {}).failures[0].includes('during a search'));
});

test('forced mates are recognised exactly', () => {
  const twoRooks = '7k/8/8/8/8/8/R7/1R4K1 w - - 0 1';
  assert.strictEqual(forcesMate(setUp(twoRooks), 1), false);
  assert.strictEqual(forcesMate(setUp(twoRooks), 2), true);
  assert.strictEqual(moveForcesMate(twoRooks, 'a2a7', 2), true);
  assert.strictEqual(moveForcesMate(twoRooks, 'b1b8', 2), false);
});

test('the position battery is sound', () => {
  assert.deepStrictEqual(checkOwnData(), []);
});

test('MultiPV blocks: count, order, distinct moves and bestmove from line 1', () => {
  const lines = (texts) => texts.map((text) => ({ text }));
  const judge = (texts, asked, legal, bestmove) => {
    const c = newCase('t');
    judgeMultiPv(c, lines(texts), asked, legal, { ok: true, bestmove });
    return c.failures;
  };
  const sound = [
    'info depth 1 multipv 1 score cp 30 time 0 nodes 9 pv e2e4',
    'info depth 1 multipv 2 score cp 20 time 0 nodes 9 pv d2d4 d7d5',
    'info depth 2 multipv 1 score cp 25 time 1 nodes 90 pv d2d4 d7d5',
    'info depth 2 multipv 2 score mate -3 time 1 nodes 90 pv g2g4',
    'info depth 3 multipv 1 score cp 5 time 2 nodes 99 pv g1f3',  // after a stop: mixed depths, any order
    'info depth 2 multipv 2 score cp 25 time 2 nodes 99 pv d2d4',
  ];
  assert.deepStrictEqual(judge(sound, 2, 20, 'g1f3'), []);
  assert.deepStrictEqual(judge(sound.slice(0, 2), 5, 2, 'e2e4'), []);  // fewer legal moves than lines
  assert.deepStrictEqual(judge(['info depth 4 score cp 3 time 5 nodes 7 pv e2e4'], 1, 20, 'e2e4'), []);
  assert.strictEqual(judge(sound, 2, 20, 'd2d4').length, 1);  // not line 1's move
  assert.strictEqual(judge(sound.slice(0, 2), 3, 20, 'e2e4').length, 1);  // a line missing
  const reordered = [sound[1].replace('multipv 2', 'multipv 1'), sound[0].replace('multipv 1', 'multipv 2')];
  assert.strictEqual(judge(reordered, 2, 20, 'd2d4').length, 1);  // worse line first
  const twice = [sound[0], sound[1].replace('d2d4 d7d5', 'e2e4 e7e5')];
  assert.strictEqual(judge(twice, 2, 20, 'e2e4').length, 1);  // one move in two lines
  assert.ok(judge(['info depth 4 multipv 2 score cp 3 time 5 nodes 7 pv e2e4'], 1, 20, 'e2e4').length >= 1);
});

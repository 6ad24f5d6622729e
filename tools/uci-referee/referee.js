#!/usr/bin/env node
'use strict';
// UCI referee: drives an engine through node-uci (init, every option it announces with its boundary values,
// every "go" form, ponder/ponderhit, infinite/stop, MultiPV analysis lines, a battery of positions and a short game with pondering)
// and checks every line it sends: option lines, info lines, principal variations, best and ponder moves,
// for form and for legality in the position searched (chess.js).
//
//   node referee.js --engine PATH [--cwd DIR] [--label NAME] [--slack MS] [--game-plies N]
//
// Exit code 0 when every check passed. The last line reads "<label>: N passed, N failed".

const fs = require('fs');
const os = require('os');
const path = require('path');

const { parseOption, parseBestmove, parseInfo, kindOf } = require('./lib/uci-lines');
const { Chess, START_FEN, legalTexts, playText, setUp, checkLine, forcesMate, moveForcesMate } = require('./lib/chess-check');
const { POSITIONS } = require('./lib/positions');
const { Session, EngineGone, Timeout, sleep, withDeadline, describeExit } = require('./lib/session');

// Options whose largest value would take the machine rather than test the engine: their in-range maximum is
// capped (the out-of-range value above the real maximum is still sent).
const RESOURCE_CAPS = { hash: 1024, threads: 4 };
// Position searched after every option change: no castling rights, so that a Chess960 switch cannot change
// how a move is written.
const SWEEP_FEN = 'r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2Q1RK1 w - - 0 8';

function parseArgs(argv) {
  const args = { label: null, cwd: null, slack: 2000, gamePlies: 24 };
  for (let i = 2; i < argv.length; i++) {
    const a = argv[i];
    const next = () => {
      if (i + 1 >= argv.length) throw new Error(`${a} needs a value`);
      return argv[++i];
    };
    if (a === '--engine') args.engine = next();
    else if (a === '--cwd') args.cwd = next();
    else if (a === '--label') args.label = next();
    else if (a === '--slack') args.slack = Number(next());
    else if (a === '--game-plies') args.gamePlies = Number(next());
    else throw new Error(`unknown argument ${a}`);
  }
  if (!args.engine) throw new Error('--engine PATH is required');
  args.engine = path.resolve(args.engine);
  if (!args.label) args.label = path.basename(args.engine);
  return args;
}

// ---------------------------------------------------------------------------------------------------------
// Results

class Report {
  constructor() {
    this.passed = 0;
    this.failed = 0;
    this.notes = new Map();
  }

  note(text) {
    this.notes.set(text, (this.notes.get(text) || 0) + 1);
  }

  finish(c, session) {
    if (c.failures.length === 0) {
      this.passed++;
      console.log(`  ok   ${c.name}`);
      return;
    }
    this.failed++;
    console.log(`  FAIL ${c.name}`);
    for (const f of c.failures) console.log(`       ${f}`);
    const tail = session.tail(12);
    if (tail.length) {
      console.log('       last lines:');
      for (const t of tail) console.log(`         ${t.length > 160 ? t.slice(0, 160) + ' ...' : t}`);
    }
  }
}

function newCase(name) {
  return {
    name,
    failures: [],
    fail(msg) {
      this.failures.push(msg);
    },
  };
}

// ---------------------------------------------------------------------------------------------------------
// Checks of the lines one search produced

// Judges lines[from..bestIndex]: every info line, the best and ponder moves, and the expectations of the
// position. `ctx`: { rootFen, legal, go, expect, readyAsked, hitAt }; hitAt is the index of the first line
// that arrived after "ponderhit", from where an engine may count its search time afresh (a note, not a fault).
function judgeSearch(c, report, lines, ctx) {
  let lastNodes = -1;
  let lastTime = -1;
  let timeRestarted = false;
  let lastScore = null;
  const searchmoves = ctx.go.searchmoves && ctx.go.searchmoves.length ? ctx.go.searchmoves : null;
  let best = null;
  for (let i = 0; i < lines.length; i++) {
    const text = lines[i].text;
    const kind = kindOf(text);
    if (kind === 'empty') continue;
    if (kind === 'info') {
      const p = parseInfo(text);
      if (!p.ok) {
        c.fail(`info line "${text}": ${p.error}`);
        continue;
      }
      if (p.string !== undefined && Object.keys(p).length === 2) continue;
      if (p.pv) {
        const err = checkLine(ctx.rootFen, p.pv);
        if (err) c.fail(`pv of "${text}": ${err}`);
        if (searchmoves && !searchmoves.includes(p.pv[0])) c.fail(`pv of "${text}" starts outside searchmoves ${searchmoves.join(' ')}`);
      }
      for (const key of ['refutation', 'currline']) {
        if (p[key]) {
          const err = checkLine(ctx.rootFen, p[key]);
          if (err) c.fail(`${key} of "${text}": ${err}`);
        }
      }
      if (p.currmove) {
        if (!ctx.legal.includes(p.currmove)) c.fail(`currmove ${p.currmove} of "${text}" is not legal in ${ctx.rootFen}`);
        else if (searchmoves && !searchmoves.includes(p.currmove)) c.fail(`currmove ${p.currmove} is outside searchmoves`);
      }
      if (p.currmovenumber !== undefined && (p.currmovenumber < 1 || p.currmovenumber > ctx.legal.length))
        c.fail(`currmovenumber ${p.currmovenumber} outside 1..${ctx.legal.length}`);
      if (p.hashfull !== undefined && p.hashfull > 1000) c.fail(`hashfull ${p.hashfull} above 1000`);
      if (p.cpuload !== undefined && p.cpuload > 1000) c.fail(`cpuload ${p.cpuload} above 1000`);
      if (p.depth !== undefined && ctx.go.depth !== undefined && p.depth > ctx.go.depth)
        c.fail(`depth ${p.depth} beyond the limit "depth ${ctx.go.depth}"`);
      if (p.nodes !== undefined) {
        if (p.nodes < lastNodes) c.fail(`nodes went back from ${lastNodes} to ${p.nodes}`);
        lastNodes = p.nodes;
      }
      if (p.time !== undefined) {
        if (p.time < lastTime) {
          if (ctx.hitAt !== undefined && i >= ctx.hitAt && !timeRestarted) {
            timeRestarted = true;
            report.note('the search time shown starts again at "ponderhit"');
          } else c.fail(`time went back from ${lastTime} to ${p.time}`);
        }
        lastTime = p.time;
      }
      if (p.score) {
        if (p.score.unit === 'mate' && p.score.value === 0 && ctx.legal.length > 0)
          c.fail(`"mate 0" in a position with legal moves: "${text}"`);
        if (!p.score.bound) lastScore = p.score;
      }
      continue;
    }
    if (kind === 'bestmove') {
      best = parseBestmove(text);
      if (!best.ok) c.fail(`"${text}": ${best.error}`);
      continue;
    }
    if (kind === 'readyok') {
      if (!ctx.readyAsked) c.fail('"readyok" that nobody asked for');
      continue;
    }
    if (kind === 'other') {
      report.note(`line outside UCI during a search: "${text}"`);
      continue;
    }
    c.fail(`"${text}" during a search`);
  }
  if (!best || !best.ok) return null;

  if (ctx.legal.length === 0) {
    if (!best.isNull) c.fail(`bestmove ${best.bestmove} in a position without a legal move (0000 expected)`);
    return best;
  }
  if (best.isNull) {
    c.fail(`null bestmove ${best.bestmove} in a position with ${ctx.legal.length} legal moves`);
    return best;
  }
  if (!ctx.legal.includes(best.bestmove)) {
    const chess = new Chess(ctx.rootFen);
    c.fail(`bestmove: ${playText(chess, best.bestmove)}`);
    return best;
  }
  if (searchmoves && !searchmoves.includes(best.bestmove)) c.fail(`bestmove ${best.bestmove} is outside searchmoves ${searchmoves.join(' ')}`);
  const after = new Chess(ctx.rootFen);
  playText(after, best.bestmove);
  if (best.ponder) {
    const err = playText(new Chess(after.fen()), best.ponder);
    if (err) c.fail(`ponder move after ${best.bestmove}: ${err}`);
  }
  const expect = ctx.expect || {};
  if (expect.mateIn) {
    if (!moveForcesMate(ctx.rootFen, best.bestmove, expect.mateIn)) c.fail(`bestmove ${best.bestmove} does not force mate in ${expect.mateIn}`);
    if (lastScore && !(lastScore.unit === 'mate' && lastScore.value === expect.mateIn))
      c.fail(`last score is "${lastScore.unit} ${lastScore.value}", expected "mate ${expect.mateIn}"`);
  }
  if (expect.noStalemate && after.isStalemate()) c.fail(`bestmove ${best.bestmove} stalemates the opponent`);
  return best;
}

// MultiPV: the pv lines of one search in blocks, each starting at line 1 (a line without "multipv" counts
// as line 1). Each block holds lines 1..n in order with n = min(asked, legal moves), from distinct first
// moves, best first when all its lines have one depth; bestmove is the first move of the last block's line 1.
// Lines with a bound are not analysis lines of a finished depth and are left out.
function judgeMultiPv(c, lines, asked, legalCount, best) {
  const blocks = [];
  for (const l of lines) {
    if (kindOf(l.text) !== 'info') continue;
    const p = parseInfo(l.text);
    if (!p.ok || !p.pv || !p.score || p.score.bound) continue;
    const number = p.multipv === undefined ? 1 : p.multipv;
    if (asked === 1 && p.multipv !== undefined && p.multipv !== 1) c.fail(`"multipv ${p.multipv}" with MultiPV 1`);
    if (number === 1 || blocks.length === 0) blocks.push([]);
    blocks[blocks.length - 1].push({ number, depth: p.depth, score: scoreValue(p.score), first: p.pv[0] });
  }
  if (blocks.length === 0) {
    c.fail(`no analysis lines with MultiPV ${asked}`);
    return;
  }
  const want = Math.min(asked, legalCount);
  for (const block of blocks) {
    const at = `at depth ${block[0].depth}`;
    if (block.length !== want) c.fail(`${block.length} lines ${at}, ${want} expected (MultiPV ${asked}, ${legalCount} legal moves)`);
    block.forEach((line, i) => {
      if (line.number !== i + 1) c.fail(`line ${i + 1} ${at} numbered ${line.number}`);
    });
    if (new Set(block.map((l) => l.first)).size !== block.length) c.fail(`lines ${at} share a first move`);
    if (block.every((l) => l.depth === block[0].depth)) {
      for (let i = 1; i < block.length; i++)
        if (block[i].score > block[i - 1].score) c.fail(`line ${i + 1} ${at} scores above line ${i}`);
    }
  }
  const top = blocks[blocks.length - 1][0];
  if (best && best.ok && best.bestmove !== top.first) c.fail(`bestmove ${best.bestmove} is not line 1's move ${top.first}`);
}

// A score on one scale: mates beyond every centipawn score, a shorter mate farther out.
function scoreValue(score) {
  if (score.unit === 'cp') return score.value;
  return score.value > 0 ? 1e6 - score.value : -1e6 - score.value;
}

// Compares what the library parsed with our strict reading; disagreements are the library's, not the
// engine's (our reader has already judged the lines), so they are notes.
function compareWithClient(report, lines, libResult, best) {
  if (!libResult) return;
  if (best && libResult.bestmove !== best.bestmove) report.note(`client read bestmove "${libResult.bestmove}" where the engine sent "${best.bestmove}"`);
  if (best && (libResult.ponder || null) !== best.ponder) report.note(`client read ponder "${libResult.ponder}" where the engine sent "${best.ponder}"`);
  const infos = lines.filter((l) => kindOf(l.text) === 'info').map((l) => parseInfo(l.text)).filter((p) => p.ok);
  if (libResult.info.length !== infos.length) {
    report.note('client counted a different number of info lines than were sent');
    return;
  }
  for (let i = 0; i < infos.length; i++) {
    const ours = infos[i];
    const theirs = libResult.info[i];
    if (ours.string !== undefined) continue;
    for (const key of ['depth', 'nodes', 'time', 'nps']) {
      if (ours[key] !== theirs[key]) report.note(`client read ${key} differently from an info line`);
    }
    if (ours.score && (!theirs.score || theirs.score.unit !== ours.score.unit || theirs.score.value !== ours.score.value))
      report.note('client read a score differently');
    if (ours.pv && theirs.pv !== ours.pv.join(' ')) report.note('client read a pv differently');
  }
}

// ---------------------------------------------------------------------------------------------------------
// Driving searches

class Referee {
  constructor(args) {
    this.args = args;
    this.report = new Report();
    this.session = new Session(args.engine);
    this.options = [];
    this.checkedUpTo = 0;
    this.dead = null;
  }

  // Lines that arrived between searches: only "readyok" and the library's own handshakes belong there.
  sweepStray(c) {
    const lines = this.session.lines;
    for (let i = this.checkedUpTo; i < lines.length; i++) {
      const text = lines[i].text;
      const kind = kindOf(text);
      if (kind === 'empty' || kind === 'readyok') continue;
      if (kind === 'other') this.report.note(`line outside UCI: "${text}"`);
      else if (kind === 'info') {
        const p = parseInfo(text);
        if (!p.ok) c.fail(`info line "${text}": ${p.error}`);
        else if (p.string === undefined) c.fail(`"${text}" while no search runs`);
      } else c.fail(`"${text}" while no search runs`);
    }
    this.checkedUpTo = lines.length;
  }

  // Runs fn as one reported case; an engine that died or stalled ends the whole run.
  async runCase(name, fn) {
    const c = newCase(name);
    if (this.dead) return;
    try {
      this.sweepStray(c);
      await fn(c);
    } catch (err) {
      if (this.session.exit && !this.session.quitting) {
        // The library rejects with the exit code when the process closes under one of its calls.
        this.dead = `engine process ended (${describeExit(this.session.exit)})`;
        c.fail(this.dead);
      } else if (err instanceof EngineGone || err instanceof Timeout) {
        c.fail(err.message);
        if (err instanceof EngineGone) this.dead = err.message;
        else await this.recover(c);
      } else {
        c.fail(`referee error: ${err.stack || err}`);
      }
    }
    this.report.finish(c, this.session);
  }

  // After a missed deadline: ask the engine to stop and to answer isready; if it does not, it is stalled.
  // The answer to the stop, if any, is awaited first so that it is not taken for a stray line later.
  async recover(c) {
    const s = this.session;
    const from = s.mark();
    s.write('stop');
    try {
      await s.waitLine((l) => kindOf(l) === 'bestmove', from, 3000, 'bestmove');
    } catch (err) {
      // no search was running, or it is stalled: isready tells
    }
    const readyFrom = s.mark();
    s.write('isready');
    try {
      await s.waitLine((l) => l === 'readyok', readyFrom, 5000, '"readyok" after "stop"');
      this.checkedUpTo = s.lines.length;
    } catch (err) {
      this.dead = `engine stalled: ${err.message}`;
      c.fail(this.dead);
      s.kill();
    }
  }

  timeBudget(go, sideToMove) {
    if (go.movetime !== undefined) return go.movetime;
    const clock = sideToMove === 'w' ? go.wtime : go.btime;
    return clock;
  }

  // One search of one position, driven the way job.run says; returns the parsed best move.
  async search(c, job) {
    const s = this.session;
    const engine = s.engine;
    const moves = job.moves || [];
    const chess = setUp(job.fen, moves);
    const rootFen = chess.fen();
    const legal = legalTexts(chess);
    const go = job.go || {};
    const run = job.run || 'go';
    await withDeadline(engine.position(job.fen === 'startpos' ? 'startpos' : job.fen, moves), 10000, '"readyok" after "position"');
    this.sweepStray(c);

    const from = s.mark();
    const slack = this.args.slack;
    const budget = this.timeBudget(go, chess.turn());
    let started = Date.now();
    let libPromise;
    let readyAsked = false;
    let hitAt;
    if (run === 'go' && go.searchmoves) {
      // node-uci writes "searchmoves" first; an engine may read every word after it as a move (Stockfish
      // does, and loses the depth or time limit), so the list goes last, as GUIs write it, through the
      // library's line reader.
      libPromise = engine.getBufferUntil((l) => /^bestmove/.test(l)).then(() => null);
      engine.write(goText(go));
    } else if (run === 'go') {
      libPromise = engine.go({ ...go });
    } else if (run === 'infinite') {
      const emitter = engine.goInfinite({ ...go });
      emitter.on('data', () => {});
      await sleep(800);
      this.noEarlyAnswer(c, from, 'before "stop"');
      libPromise = engine.stop();
      started = Date.now();
    } else if (run === 'ponderhit' || run === 'ponderstop') {
      libPromise = engine.go({ ...go, ponder: true });
      await sleep(300);
      // isready during the search: answered at once, the search goes on.
      const readyFrom = s.mark();
      s.write('isready');
      readyAsked = true;
      await s.waitLine((l) => l === 'readyok', readyFrom, 5000, '"readyok" during a ponder search');
      await sleep(300);
      this.noEarlyAnswer(c, from, `before "${run === 'ponderhit' ? 'ponderhit' : 'stop'}"`);
      hitAt = s.mark() - from;
      s.write(run === 'ponderhit' ? 'ponderhit' : 'stop');
      started = Date.now();
    } else {
      throw new Error(`unknown run ${run}`);
    }
    libPromise.catch(() => {});

    // A stop must be answered at once; a timed search within its time; depth, node and mate searches get a
    // minute on any machine.
    let limit = 60000;
    if (run === 'infinite' || run === 'ponderstop') limit = 5000 + slack;
    else if (budget !== undefined) limit = budget + Math.max(slack, budget) + 5000;
    const bestIndex = await s.waitLine((l) => kindOf(l) === 'bestmove', from, limit, '"bestmove"');
    const elapsed = s.lines[bestIndex].at - started;
    if ((run === 'infinite' || run === 'ponderstop') && elapsed > 2000 + slack) c.fail(`bestmove came ${elapsed} ms after "stop"`);
    if (run !== 'infinite' && run !== 'ponderstop' && budget !== undefined && elapsed > budget + slack)
      c.fail(`bestmove after ${elapsed} ms, time allowed ${budget} ms (+${slack} ms slack)`);
    const lines = s.lines.slice(from, bestIndex + 1);
    this.checkedUpTo = bestIndex + 1;
    const best = judgeSearch(c, this.report, lines, { rootFen, legal, go, expect: job.expect, readyAsked, hitAt: run === 'ponderhit' ? hitAt : undefined });

    let libResult = null;
    try {
      libResult = await withDeadline(libPromise, 3000, 'result from the client');
    } catch (err) {
      this.report.note(`client gave no result for a search (${err.message})`);
    }
    if (run !== 'infinite') compareWithClient(this.report, lines, libResult, best);
    else if (libResult && best && libResult.bestmove !== best.bestmove) this.report.note('client read the bestmove after "stop" differently');
    return { best, elapsed, rootFen, lines, legal };
  }

  // A search that only a command may end must not have answered yet.
  noEarlyAnswer(c, from, when) {
    const lines = this.session.lines;
    for (let i = from; i < lines.length; i++) {
      if (kindOf(lines[i].text) === 'bestmove') c.fail(`"${lines[i].text}" ${when}`);
    }
  }

  // ---------------------------------------------------------------------------------------------------------
  // The parts of a run

  async init() {
    await this.runCase('init: id, options, uciok', async (c) => {
      await this.session.start(15000);
      const lines = this.session.lines.map((l) => l.text);
      const okAt = lines.indexOf('uciok');
      const firstId = lines.findIndex((l) => kindOf(l) === 'id');
      if (firstId < 0) c.fail('no "id" line');
      const names = new Set();
      let idName = 0;
      let idAuthor = 0;
      for (let i = Math.max(firstId, 0); i < okAt; i++) {
        const text = lines[i];
        const kind = kindOf(text);
        if (kind === 'empty') continue;
        if (kind === 'id') {
          if (/^id name \S/.test(text)) idName++;
          else if (/^id author \S/.test(text)) idAuthor++;
          else c.fail(`"${text}" is neither "id name ..." nor "id author ..."`);
        } else if (kind === 'option') {
          const o = parseOption(text);
          if (!o.ok) {
            c.fail(`"${text}": ${o.error}`);
            continue;
          }
          if (names.has(o.name.toLowerCase())) c.fail(`option "${o.name}" announced twice`);
          names.add(o.name.toLowerCase());
          this.options.push(o);
          const client = this.session.engine.options.get(o.name);
          if (!client) this.report.note(`client could not read the option line "${text}"`);
          else if (client.type !== o.type) this.report.note(`client read option "${o.name}" as type ${client.type}`);
        } else if (kind === 'other') {
          this.report.note(`line outside UCI during the handshake: "${text}"`);
        } else {
          c.fail(`"${text}" inside the handshake`);
        }
      }
      if (idName !== 1) c.fail(`${idName} "id name" lines`);
      if (idAuthor !== 1) c.fail(`${idAuthor} "id author" lines`);
      if (!this.session.engine.id.name) this.report.note('client found no engine name');
      this.checkedUpTo = okAt + 1;
      await withDeadline(this.session.engine.isready(), 60000, '"readyok"');
      c.name += ` (${this.options.length} options)`;
    });
  }

  // Values to send for one option: boundaries and defaults, each followed by a search.
  optionValues(o) {
    switch (o.type) {
      case 'check':
        return [!o.default, o.default].map(String);
      case 'spin': {
        const cap = RESOURCE_CAPS[o.name.toLowerCase()];
        // Above a resource cap nothing more is sent: an engine may clamp an out-of-range size to its
        // maximum and then fail to allocate it.
        const capped = cap !== undefined && o.max > cap;
        const values = capped ? [o.min, Math.max(o.min, cap), o.min - 1, o.default] : [o.min, o.max, o.min - 1, o.max + 1, o.default];
        return [...new Set(values)].filter((v) => v !== o.default).concat([o.default]).map(String);
      }
      case 'combo':
        return o.vars.filter((v) => v !== o.default).concat([o.default]);
      case 'string':
        return [o.default];
      case 'button':
        return [undefined];
      default:
        return [];
    }
  }

  async optionSweep() {
    for (const o of this.options) {
      const values = this.optionValues(o);
      await this.runCase(`option ${o.name} (${o.type}): ${values.map((v) => (v === undefined ? 'press' : JSON.stringify(v))).join(', ')}`, async (c) => {
        for (const v of values) {
          await withDeadline(this.session.engine.setoption(o.name, v), 20000, `"readyok" after setting ${o.name}`);
          await this.search(c, { fen: SWEEP_FEN, go: { movetime: 100 } });
        }
      });
    }
  }

  // Weak play by Elo: still legal, still on time.
  async strength() {
    const limit = this.options.find((o) => o.name === 'UCI_LimitStrength' && o.type === 'check');
    const elo = this.options.find((o) => o.name === 'UCI_Elo' && o.type === 'spin');
    if (!limit || !elo) {
      console.log('  --   no UCI_LimitStrength/UCI_Elo: strength checks skipped');
      return;
    }
    for (const value of [elo.min, elo.max]) {
      await this.runCase(`UCI_LimitStrength true, UCI_Elo ${value}: clock and movetime searches`, async (c) => {
        const e = this.session.engine;
        await withDeadline(e.setoption('UCI_LimitStrength', 'true'), 10000, '"readyok"');
        await withDeadline(e.setoption('UCI_Elo', String(value)), 10000, '"readyok"');
        await this.search(c, { fen: SWEEP_FEN, go: { wtime: 3000, btime: 3000 } });
        await this.search(c, { fen: 'startpos', moves: ['e2e4', 'c7c5'], go: { movetime: 300 } });
        await this.search(c, { fen: '7k/5Q2/8/6K1/8/8/8/8 w - - 0 1', go: { wtime: 2000, btime: 2000, winc: 100, binc: 100 } });
      });
    }
    await this.runCase('strength limit off again', async () => {
      const e = this.session.engine;
      await withDeadline(e.setoption('UCI_Elo', String(elo.default)), 10000, '"readyok"');
      await withDeadline(e.setoption('UCI_LimitStrength', String(limit.default)), 10000, '"readyok"');
    });
  }

  // MultiPV 1, 3 and more than the legal moves: the lines of every depth, legal (judgeSearch), in order,
  // and bestmove from line 1.
  async multiPv() {
    const option = this.options.find((o) => o.name === 'MultiPV' && o.type === 'spin');
    if (!option) {
      console.log('  --   no MultiPV option: analysis-line checks skipped');
      return;
    }
    // A book move comes without lines: the opening is searched with the book off.
    const book = this.options.find((o) => o.name === 'OwnBook' && o.type === 'check');
    if (book) await withDeadline(this.session.engine.setoption('OwnBook', 'false'), 10000, '"readyok"');
    const few = '7k/8/8/8/8/8/6PP/6K1 w - - 0 1';  // seven legal moves
    const jobs = [
      { value: 1, job: { fen: 'startpos', moves: ['e2e4', 'e7e5'], go: { depth: 5 } } },
      { value: 3, job: { fen: 'startpos', moves: ['e2e4', 'e7e5'], go: { depth: 5 } } },
      { value: 3, job: { fen: 'startpos', go: { depth: 4, searchmoves: ['a2a3', 'b1c3', 'g1f3', 'h2h4'] } } },
      { value: 12, job: { fen: few, go: { depth: 4 } } },
    ];
    for (const { value, job } of jobs) {
      if (value < option.min || value > option.max) continue;
      await this.runCase(`MultiPV ${value}: ${goText(job.go)}`, async (c) => {
        const e = this.session.engine;
        await withDeadline(e.setoption('MultiPV', String(value)), 10000, '"readyok"');
        await withDeadline(e.ucinewgame(), 10000, '"readyok" after "ucinewgame"');
        const r = await this.search(c, job);
        const legalCount = job.go.searchmoves ? job.go.searchmoves.length : r.legal.length;
        judgeMultiPv(c, r.lines, value, legalCount, r.best);
      });
    }
    await this.runCase('MultiPV back to its default', async () => {
      await withDeadline(this.session.engine.setoption('MultiPV', String(option.default)), 10000, '"readyok"');
      if (book) await withDeadline(this.session.engine.setoption('OwnBook', String(book.default)), 10000, '"readyok"');
    });
  }

  async positions() {
    for (const p of POSITIONS) {
      const form = p.run && p.run !== 'go' ? `${p.run} ` : '';
      await this.runCase(`${p.name} (${form}${goText(p.go)})`, async (c) => {
        await withDeadline(this.session.engine.ucinewgame(), 10000, '"readyok" after "ucinewgame"');
        await this.search(c, p);
      });
    }
  }

  // A game as a GUI plays it: the whole move list in every "position", clocks that run, and pondering on
  // the predicted reply, which the opponent plays half of the time (ponderhit) and refuses otherwise (stop).
  async game() {
    const plies = this.args.gamePlies;
    await this.runCase(`a game of up to ${plies} plies with clocks and pondering`, async (c) => {
      const e = this.session.engine;
      const ponderOption = this.options.find((o) => o.name === 'Ponder' && o.type === 'check');
      if (ponderOption) await withDeadline(e.setoption('Ponder', 'true'), 10000, '"readyok"');
      await withDeadline(e.ucinewgame(), 10000, '"readyok"');
      const moves = [];
      const chess = new Chess(START_FEN);
      const clock = { w: 20000, b: 20000 };
      const inc = 200;
      let ready = null;  // a best move already found by a ponder search that was hit
      let hits = 0;
      let misses = 0;
      let turn = 0;
      while (moves.length < plies && !chess.isGameOver() && c.failures.length === 0) {
        const side = chess.turn();
        let best;
        if (ready) {
          best = ready;
          ready = null;
        } else {
          const go = { wtime: clock.w, btime: clock.b, winc: inc, binc: inc };
          const r = await this.search(c, { fen: 'startpos', moves: [...moves], go });
          best = r.best;
          clock[side] += inc - r.elapsed;
          if (clock[side] <= 0) c.fail(`${side === 'w' ? 'White' : 'Black'} lost on time (${clock[side]} ms)`);
        }
        if (!best || !best.ok || best.isNull || c.failures.length) break;
        playText(chess, best.bestmove);
        moves.push(best.bestmove);
        if (chess.isGameOver() || moves.length >= plies) break;

        turn++;
        const legalReplies = legalTexts(chess);
        if (best.ponder && legalReplies.includes(best.ponder)) {
          const hit = turn % 2 === 1;
          const go = { wtime: clock.w, btime: clock.b, winc: inc, binc: inc };
          const r = await this.search(c, { fen: 'startpos', moves: [...moves, best.ponder], go, run: hit ? 'ponderhit' : 'ponderstop' });
          if (hit) {
            hits++;
            playText(chess, best.ponder);
            moves.push(best.ponder);
            ready = r.best;
            clock[side] += inc - r.elapsed;
            if (clock[side] <= 0) c.fail(`${side === 'w' ? 'White' : 'Black'} lost on time after ponderhit (${clock[side]} ms)`);
            continue;
          }
          misses++;
          const other = legalReplies.filter((m) => m !== best.ponder);
          if (other.length === 0) break;
          const reply = other[(turn * 7) % other.length];
          playText(chess, reply);
          moves.push(reply);
        }
      }
      c.name += ` (${moves.length} plies, ${hits} ponderhits, ${misses} ponder misses)`;
      if (ponderOption) await withDeadline(e.setoption('Ponder', String(ponderOption.default)), 10000, '"readyok"');
    });
  }

  async finish() {
    await this.runCase('stop and ponderhit with no search, then quit', async (c) => {
      const s = this.session;
      const from = s.mark();
      s.write('stop');
      s.write('ponderhit');
      await withDeadline(s.engine.isready(), 10000, '"readyok"');
      for (const l of s.lines.slice(from)) if (kindOf(l.text) === 'bestmove') c.fail(`"${l.text}" without a search`);
      this.sweepStray(c);
      const exit = await s.quit(10000);
      if (exit.code !== 0) c.fail(`ended with ${describeExit(exit)} after "quit"`);
      this.sweepStray(c);
    });
    if (this.session.stderr.trim()) this.report.note(`engine wrote to standard error: ${JSON.stringify(this.session.stderr.trim().slice(0, 200))}`);
  }

  async run() {
    await this.init();
    await this.optionSweep();
    await this.strength();
    await this.multiPv();
    await this.positions();
    await this.game();
    await this.finish();
    if (this.dead) {
      this.report.failed++;
      console.log(`  FAIL run ended early: ${this.dead}`);
    }
    this.session.kill();
  }
}

// The "go" line for the parameters, "searchmoves" last.
function goText(go) {
  const parts = [];
  for (const [k, v] of Object.entries(go || {})) if (k !== 'searchmoves') parts.push(`${k} ${v}`);
  if (go && go.searchmoves) parts.push(`searchmoves ${go.searchmoves.join(' ')}`);
  return parts.length ? `go ${parts.join(' ')}` : 'go';
}

// The referee's own data must be right before it judges anyone: every position sets up, every mate is
// forced, every stalemate trap can be fallen into.
function checkOwnData() {
  const errors = [];
  for (const p of POSITIONS) {
    try {
      const chess = setUp(p.fen, p.moves || []);
      const e = p.expect || {};
      if (e.terminal && chess.moves().length !== 0) errors.push(`${p.name}: not terminal`);
      if (!e.terminal && chess.moves().length === 0) errors.push(`${p.name}: no legal move`);
      if (e.mateIn && (!forcesMate(chess, e.mateIn) || (e.mateIn > 1 && forcesMate(chess, e.mateIn - 1))))
        errors.push(`${p.name}: not a mate in exactly ${e.mateIn}`);
      if (e.noStalemate) {
        const traps = chess.moves().filter((m) => {
          chess.move(m);
          const stale = chess.isStalemate();
          chess.undo();
          return stale;
        });
        if (traps.length === 0) errors.push(`${p.name}: no stalemating move to avoid`);
      }
      for (const m of (p.go && p.go.searchmoves) || []) if (!legalTexts(chess).includes(m)) errors.push(`${p.name}: searchmove ${m} not legal`);
    } catch (err) {
      errors.push(`${p.name}: ${err.message}`);
    }
  }
  setUp(SWEEP_FEN, []);
  return errors;
}

async function main() {
  let args;
  try {
    args = parseArgs(process.argv);
  } catch (err) {
    console.error(`uci-referee: ${err.message}`);
    process.exit(2);
  }
  const errors = checkOwnData();
  if (errors.length) {
    for (const e of errors) console.error(`uci-referee: ${e}`);
    process.exit(2);
  }
  const dir = args.cwd ? path.resolve(args.cwd) : fs.mkdtempSync(path.join(os.tmpdir(), 'uci-referee-'));
  fs.mkdirSync(dir, { recursive: true });
  process.chdir(dir);  // the engine inherits it and finds its data files there
  console.log(`uci-referee: ${args.label} (${args.engine}), working folder ${dir}`);
  const started = Date.now();
  const referee = new Referee(args);
  await referee.run();
  const r = referee.report;
  if (r.notes.size) {
    console.log('  notes (not failures):');
    for (const [text, count] of r.notes) console.log(`    ${count}x ${text}`);
  }
  console.log(`  ${((Date.now() - started) / 1000).toFixed(1)} s`);
  console.log(`${args.label}: ${r.passed} passed, ${r.failed} failed`);
  process.exit(r.failed === 0 ? 0 : 1);
}

if (require.main === module) {
  main().catch((err) => {
    console.error(`uci-referee: ${err.stack || err}`);
    process.exit(2);
  });
}

module.exports = { judgeSearch, judgeMultiPv, Report, newCase, checkOwnData };

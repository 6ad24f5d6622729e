'use strict';
// Strict readers for the lines a UCI engine sends. Each returns { ok: true, ... } with the parsed fields or
// { ok: false, error } naming the first thing that is wrong, so that a report can quote it.

const MOVE_RE = /^[a-h][1-8][a-h][1-8][nbrq]?$/;
const NULL_MOVES = new Set(['0000', '(none)']);
const UNSIGNED_RE = /^(0|[1-9][0-9]*)$/;
const SIGNED_RE = /^-?(0|[1-9][0-9]*)$/;

function isMoveText(word) {
  return MOVE_RE.test(word);
}

function words(line) {
  return line.trim().split(/\s+/).filter((w) => w.length > 0);
}

// "option name <name> type <type> [default <x>] [min <n>] [max <n>] [var <x>]...". Names and values may
// hold spaces, so the line is cut at the keywords. A string option may have an empty default.
function parseOption(line) {
  const m = /^option name (.+?) type (check|spin|combo|button|string)(?: (.*))?$/.exec(line);
  if (!m) return { ok: false, error: 'not of the form "option name <name> type <check|spin|combo|button|string> ..."' };
  const name = m[1].trim();
  const type = m[2];
  const rest = m[3] === undefined ? '' : m[3];
  if (name.length === 0) return { ok: false, error: 'empty option name' };
  const option = { ok: true, name, type };
  const tokens = rest.split(' ');
  // Walk the words and collect each keyword's value up to the next keyword.
  const fields = {};
  const vars = [];
  let key = null;
  let value = [];
  const flush = () => {
    if (key === null) return true;
    const text = value.join(' ');
    if (key === 'var') vars.push(text);
    else if (key in fields) return false;
    else fields[key] = text;
    return true;
  };
  for (const t of tokens) {
    if (t === 'default' || t === 'min' || t === 'max' || t === 'var') {
      if (!flush()) return { ok: false, error: `keyword "${key}" given twice` };
      key = t;
      value = [];
    } else if (key === null) {
      if (t !== '') return { ok: false, error: `unexpected word "${t}" after the type` };
    } else {
      value.push(t);
    }
  }
  if (!flush()) return { ok: false, error: `keyword "${key}" given twice` };

  switch (type) {
    case 'check':
      if (fields.default !== 'true' && fields.default !== 'false')
        return { ok: false, error: 'a check option needs "default true" or "default false"' };
      if ('min' in fields || 'max' in fields || vars.length) return { ok: false, error: 'a check option takes only a default' };
      option.default = fields.default === 'true';
      break;
    case 'spin': {
      for (const k of ['default', 'min', 'max']) {
        if (!(k in fields)) return { ok: false, error: `a spin option needs "${k}"` };
        if (!SIGNED_RE.test(fields[k])) return { ok: false, error: `spin ${k} "${fields[k]}" is not an integer` };
      }
      option.default = Number(fields.default);
      option.min = Number(fields.min);
      option.max = Number(fields.max);
      if (option.min > option.max) return { ok: false, error: `spin min ${option.min} above max ${option.max}` };
      if (option.default < option.min || option.default > option.max)
        return { ok: false, error: `spin default ${option.default} outside ${option.min}..${option.max}` };
      if (vars.length) return { ok: false, error: 'a spin option takes no "var"' };
      break;
    }
    case 'combo':
      if (!('default' in fields) || vars.length === 0) return { ok: false, error: 'a combo option needs a default and vars' };
      if (!vars.includes(fields.default)) return { ok: false, error: `combo default "${fields.default}" is not one of its vars` };
      option.default = fields.default;
      option.vars = vars;
      break;
    case 'button':
      if (Object.keys(fields).length || vars.length) return { ok: false, error: 'a button option takes no values' };
      break;
    case 'string':
      if (!('default' in fields)) return { ok: false, error: 'a string option needs a default' };
      option.default = fields.default;
      break;
  }
  return option;
}

// "bestmove <move> [ponder <move>]"; the null move forms 0000 and (none) are accepted here and judged by the
// caller against the position (they are right only when there is no legal move).
function parseBestmove(line) {
  const w = words(line);
  if (w[0] !== 'bestmove' || (w.length !== 2 && w.length !== 4))
    return { ok: false, error: 'not of the form "bestmove <move> [ponder <move>]"' };
  if (!isMoveText(w[1]) && !NULL_MOVES.has(w[1])) return { ok: false, error: `"${w[1]}" is not a move in coordinate form` };
  if (w.length === 4) {
    if (w[2] !== 'ponder') return { ok: false, error: `"${w[2]}" where "ponder" was expected` };
    if (!isMoveText(w[3])) return { ok: false, error: `ponder "${w[3]}" is not a move in coordinate form` };
    if (NULL_MOVES.has(w[1])) return { ok: false, error: 'a ponder move after a null best move' };
  }
  return { ok: true, bestmove: w[1], ponder: w.length === 4 ? w[3] : null, isNull: NULL_MOVES.has(w[1]) };
}

const UNSIGNED_FIELDS = new Set(['depth', 'seldepth', 'time', 'nodes', 'nps', 'hashfull', 'tbhits', 'sbhits', 'cpuload', 'multipv', 'currmovenumber']);
const MOVE_LIST_FIELDS = new Set(['pv', 'refutation']);

// "info ..." with the UCI keywords; every keyword at most once. "string" takes the rest of the line, "pv",
// "refutation" and "currline" take the moves that follow (at least one).
function parseInfo(line) {
  const w = words(line);
  if (w[0] !== 'info') return { ok: false, error: 'does not start with "info"' };
  if (w.length < 2) return { ok: false, error: 'an info line with nothing in it' };
  const info = { ok: true };
  let i = 1;
  const seen = new Set();
  while (i < w.length) {
    const key = w[i];
    if (seen.has(key)) return { ok: false, error: `"${key}" given twice` };
    seen.add(key);
    i++;
    if (key === 'string') {
      info.string = w.slice(i).join(' ');
      break;
    }
    if (UNSIGNED_FIELDS.has(key)) {
      if (i >= w.length || !UNSIGNED_RE.test(w[i])) return { ok: false, error: `"${key}" needs a non-negative integer, got "${w[i] ?? ''}"` };
      info[key] = Number(w[i]);
      i++;
      continue;
    }
    if (key === 'score') {
      const unit = w[i];
      if (unit !== 'cp' && unit !== 'mate') return { ok: false, error: `score unit "${unit ?? ''}" is neither cp nor mate` };
      if (i + 1 >= w.length || !SIGNED_RE.test(w[i + 1])) return { ok: false, error: `score ${unit} needs an integer, got "${w[i + 1] ?? ''}"` };
      info.score = { unit, value: Number(w[i + 1]) };
      i += 2;
      if (w[i] === 'lowerbound' || w[i] === 'upperbound') {
        info.score.bound = w[i];
        i++;
      }
      continue;
    }
    if (key === 'wdl') {
      const three = w.slice(i, i + 3);
      if (three.length !== 3 || !three.every((x) => UNSIGNED_RE.test(x))) return { ok: false, error: '"wdl" needs three non-negative integers' };
      info.wdl = three.map(Number);
      i += 3;
      continue;
    }
    if (key === 'currmove') {
      if (i >= w.length || !isMoveText(w[i])) return { ok: false, error: `currmove "${w[i] ?? ''}" is not a move in coordinate form` };
      info.currmove = w[i];
      i++;
      continue;
    }
    if (MOVE_LIST_FIELDS.has(key) || key === 'currline') {
      const moves = [];
      if (key === 'currline' && i < w.length && UNSIGNED_RE.test(w[i])) i++;  // optional cpu number
      while (i < w.length && isMoveText(w[i])) moves.push(w[i++]);
      if (moves.length === 0) return { ok: false, error: `"${key}" without a move` };
      info[key] = moves;
      continue;
    }
    return { ok: false, error: `unknown word "${key}"` };
  }
  return info;
}

// The kind of a line, by its first word.
function kindOf(line) {
  const first = words(line)[0];
  if (first === undefined) return 'empty';
  if (['id', 'option', 'uciok', 'readyok', 'info', 'bestmove', 'copyprotection', 'registration'].includes(first)) return first;
  return 'other';
}

module.exports = { parseOption, parseBestmove, parseInfo, kindOf, isMoveText, words, NULL_MOVES };

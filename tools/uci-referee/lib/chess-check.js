'use strict';
// Legality of the engine's moves, judged by chess.js. A move counts as legal only when its coordinate text
// equals the text of a legal move exactly: a missing or surplus promotion letter is a fault.

const { Chess } = require('chess.js');

const START_FEN = 'rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1';

function legalTexts(chess) {
  return chess.moves({ verbose: true }).map((m) => m.lan);
}

// Plays one move given in coordinate text; returns null on success or the reason it is refused.
function playText(chess, text) {
  let played = null;
  if (/^[a-h][1-8][a-h][1-8][nbrq]?$/.test(text)) {
    try {
      played = chess.move({ from: text.slice(0, 2), to: text.slice(2, 4), promotion: text[4] });
    } catch (err) {
      played = null;
    }
    // chess.js lets a surplus promotion letter pass on an ordinary move: the texts must match exactly.
    if (played && played.lan !== text) {
      chess.undo();
      played = null;
    }
  }
  if (played) return null;
  const near = legalTexts(chess).filter((t) => t.slice(0, 4) === text.slice(0, 4));
  const hint = near.length ? ` (legal forms: ${near.join(' ')})` : '';
  return `${text} is not legal in ${chess.fen()}${hint}`;
}

// The position a "position" command sets up, or an error for the referee's own data.
function setUp(fen, moves) {
  const chess = new Chess(fen === 'startpos' ? START_FEN : fen);
  for (const m of moves || []) {
    const err = playText(chess, m);
    if (err) throw new Error(`bad test data: ${err}`);
  }
  return chess;
}

// Checks a line of moves from a position; returns null or the first fault, naming the ply.
function checkLine(fen, moves) {
  const chess = new Chess(fen);
  for (let i = 0; i < moves.length; i++) {
    const err = playText(chess, moves[i]);
    if (err) return `move ${i + 1} of the line: ${err}`;
  }
  return null;
}

// True when the side to move can force mate within n of its own moves (small n only: plain minimax).
function forcesMate(chess, n) {
  if (n <= 0) return false;
  for (const m of chess.moves()) {
    chess.move(m);
    let wins;
    if (chess.isCheckmate()) wins = true;
    else if (n === 1 || chess.isDraw() || chess.moves().length === 0) wins = false;
    else {
      wins = true;
      for (const r of chess.moves()) {
        chess.move(r);
        const ok = forcesMate(chess, n - 1);
        chess.undo();
        if (!ok) {
          wins = false;
          break;
        }
      }
    }
    chess.undo();
    if (wins) return true;
  }
  return false;
}

// After the side to move plays `text`: does the opponent get mated within n - 1 further own moves?
function moveForcesMate(fen, text, n) {
  const chess = new Chess(fen);
  if (playText(chess, text)) return false;
  if (chess.isCheckmate()) return true;
  if (n === 1 || chess.moves().length === 0) return false;
  for (const r of chess.moves()) {
    chess.move(r);
    const ok = forcesMate(chess, n - 1);
    chess.undo();
    if (!ok) return false;
  }
  return true;
}

module.exports = { Chess, START_FEN, legalTexts, playText, setUp, checkLine, forcesMate, moveForcesMate };

'use strict';
// The positions the referee searches, each with the "go" form it is searched with. `run` is the way the
// search is driven: 'go' waits for bestmove, 'infinite' and 'ponderstop' end it with "stop", 'ponderhit'
// turns a ponder search into a timed one. `expect` adds checks that hold for any sound engine:
//   mateIn: n     the best move starts a forced mate in n (verified here by brute force) and the last score
//                 shown, if any, is "mate n";
//   noStalemate   the best move does not stalemate the opponent (the side to move is far ahead and has
//                 stalemating moves to avoid);
//   terminal      the side to move has no legal move: the answer must be a null move.

const RUY_LOPEZ = 'e2e4 e7e5 g1f3 b8c6 f1b5 a7a6 b5a4 g8f6 e1g1 f8e7 f1e1 b7b5 a4b3 d7d6 c2c3 e8g8 h2h3 c6a5 b3c2 c7c5 d2d4 d8c7 b1d2 c5d4 c3d4'.split(' ');

const POSITIONS = [
  // Openings, some answered from a book where the engine has one.
  { name: 'start position', fen: 'startpos', go: { depth: 5 } },
  { name: 'Spanish after 3.Bb5', fen: 'startpos', moves: ['e2e4', 'e7e5', 'g1f3', 'b8c6', 'f1b5'], go: { movetime: 300 } },
  { name: 'Nimzo-Indian by moves', fen: 'startpos', moves: ['d2d4', 'g8f6', 'c2c4', 'e7e6', 'b1c3', 'f8b4'], go: { wtime: 60000, btime: 60000, winc: 1000, binc: 1000 } },
  { name: 'Sicilian from a FEN with moves', fen: 'rnbqkbnr/pp1ppppp/8/2p5/4P3/8/PPPP1PPP/RNBQKBNR w KQkq c6 0 2', moves: ['g1f3', 'd7d6', 'd2d4', 'c5d4', 'f3d4', 'g8f6', 'b1c3'], go: { depth: 6 } },
  { name: 'Spanish main line, 25 plies', fen: 'startpos', moves: RUY_LOPEZ, go: { wtime: 5000, btime: 5000, winc: 50, binc: 50 } },
  // Castling.
  { name: 'castling both ways, complex', fen: 'r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1', go: { depth: 5 } },
  { name: 'bare rooks with all castling rights', fen: 'r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1', go: { depth: 5 } },
  { name: 'castling black to move', fen: 'r3k2r/pppq1ppp/2np1n2/2b1p1B1/2B1P1b1/2NP1N2/PPPQ1PPP/R3K2R b KQkq - 4 8', go: { movetime: 300 } },
  { name: 'kingside castling through an attacked square', fen: 'r3k2r/8/8/8/8/8/5r2/R3K2R w KQkq - 0 1', go: { depth: 4 } },
  { name: 'castling and promotions in the move list', fen: 'r3k2r/P7/8/8/8/8/6p1/R3K2R w KQkq - 0 1', moves: ['e1c1', 'g2g1q', 'd1g1', 'e8c8', 'a7a8q'], go: { depth: 5 } },
  // En passant.
  { name: 'en passant from the FEN', fen: 'rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3', go: { depth: 5 } },
  { name: 'en passant after moves', fen: 'startpos', moves: ['e2e4', 'a7a6', 'e4e5', 'd7d5'], go: { movetime: 300 } },
  { name: 'en passant refused by a pin on the rank', fen: '8/8/8/KPp4r/8/8/8/6k1 w - c6 0 1', go: { depth: 6 } },
  { name: 'en passant for black', fen: '4k3/8/8/8/3pP3/8/8/4K3 b - e3 0 1', go: { depth: 6 } },
  // Promotions.
  { name: 'pawn to promote', fen: '8/P7/8/8/8/8/6k1/4K3 w - - 0 1', go: { depth: 6 } },
  { name: 'promotion by capture', fen: '1r2k3/P7/8/8/8/8/8/4K3 w - - 0 1', go: { depth: 5 } },
  { name: 'black pawn to promote', fen: '4k3/8/8/8/8/8/p7/4K2R b - - 0 1', go: { depth: 5 } },
  // Mates.
  { name: 'back-rank mate in 1', fen: '6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1', go: { depth: 4 }, expect: { mateIn: 1 } },
  { name: "fool's mate in 1 for black", fen: 'startpos', moves: ['f2f3', 'e7e5', 'g2g4'], go: { movetime: 500 }, expect: { mateIn: 1 } },
  { name: 'smothered mate in 1', fen: '6rk/6pp/8/6N1/8/8/8/6K1 w - - 0 1', go: { mate: 1 }, expect: { mateIn: 1 } },
  { name: 'mate in 1 by promotion', fen: 'k7/2P5/1K6/8/8/8/8/8 w - - 0 1', go: { depth: 3 }, expect: { mateIn: 1 } },
  { name: 'two-rook mate in 2', fen: '7k/8/8/8/8/8/R7/1R4K1 w - - 0 1', go: { mate: 2 }, expect: { mateIn: 2 } },
  { name: 'checkmated', fen: 'startpos', moves: ['f2f3', 'e7e5', 'g2g4', 'd8h4'], go: { depth: 3 }, expect: { terminal: true } },
  // Stalemate and its neighbours.
  { name: 'stalemated', fen: '5k2/5P2/5K2/8/8/8/8/8 b - - 0 1', go: { depth: 3 }, expect: { terminal: true } },
  { name: 'queen against king, stalemate at hand', fen: '7k/5Q2/8/6K1/8/8/8/8 w - - 0 1', go: { depth: 6 }, expect: { noStalemate: true } },
  { name: 'queen boxes in the king, every quiet move stalemates', fen: 'k7/8/1Q6/8/8/8/8/7K w - - 0 1', go: { depth: 6 }, expect: { noStalemate: true } },
  { name: 'black queen, stalemate at hand', fen: '7k/8/8/8/8/1q6/8/K7 b - - 0 1', go: { movetime: 400 }, expect: { noStalemate: true } },
  // Middlegames and endgames under the other "go" forms.
  { name: 'queen-pawn middlegame, clocks', fen: 'r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8', go: { wtime: 10000, btime: 10000, winc: 100, binc: 100 } },
  { name: 'Sicilian middlegame, moves to go', fen: 'r2q1rk1/1b2bppp/p2ppn2/1p6/3NP3/1BN1Q3/PPP2PPP/R4RK1 w - - 0 12', go: { wtime: 30000, btime: 30000, movestogo: 20 } },
  { name: 'tactics, node limit', fen: 'r1b1k2r/ppppnppp/2n2q2/2b5/3NP3/2P1B3/PP3PPP/RN1QKB1R w KQkq - 0 1', go: { nodes: 20000 } },
  { name: 'searchmoves restricted to two odd moves', fen: 'startpos', moves: ['e2e4', 'e7e5'], go: { depth: 5, searchmoves: ['a2a3', 'h2h3'] } },
  { name: 'searchmoves in a middlegame', fen: 'r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8', go: { movetime: 300, searchmoves: ['c4d5', 'a2a3', 'f1d3'] } },
  { name: 'rook ending, building a bridge', fen: '1K1k4/1P6/8/8/8/8/r7/2R5 w - - 0 1', go: { depth: 8 } },
  { name: 'king and pawn against king', fen: '8/8/8/4k3/8/8/4P3/4K3 w - - 0 1', go: { movetime: 300 } },
  { name: 'short clock for black', fen: 'r2q1rk1/1b2bppp/p2ppn2/1p6/3NP3/1BN1Q3/PPP2PPP/R4RK1 b - - 0 12', go: { wtime: 400, btime: 400 } },
  // Searches that only a command ends.
  { name: 'infinite search, then stop', fen: 'r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8', run: 'infinite', go: {} },
  { name: 'infinite search with a mate in 1, then stop', fen: '6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1', run: 'infinite', go: {}, expect: { mateIn: 1 } },
  { name: 'ponder, then ponderhit', fen: 'startpos', moves: ['e2e4', 'e7e5', 'g1f3', 'b8c6'], run: 'ponderhit', go: { wtime: 4000, btime: 4000, winc: 100, binc: 100 } },
  { name: 'ponder with moves to go, then ponderhit', fen: 'r2q1rk1/1b2bppp/p2ppn2/1p6/3NP3/1BN1Q3/PPP2PPP/R4RK1 b - - 0 12', run: 'ponderhit', go: { wtime: 6000, btime: 6000, movestogo: 10 } },
  { name: 'ponder, then stop', fen: 'r1b1k2r/ppppnppp/2n2q2/2b5/3NP3/2P1B3/PP3PPP/RN1QKB1R w KQkq - 0 1', run: 'ponderstop', go: { wtime: 4000, btime: 4000 } },
];

module.exports = { POSITIONS };

// The reference model that referees the random command streams must itself be right: its move generator
// against published perft counts, its FEN reader and writer, its take-backs and its game ends.
#include "support/chess_model.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace kelb::test {
namespace {

static ModelPosition FromFen(const std::string& fen) {
  ModelPosition position;
  EXPECT_TRUE(position.ReadFen(fen)) << fen;
  EXPECT_TRUE(position.Accept()) << fen;
  return position;
}

TEST(ChessModel, PerftMatchesPublishedCounts) {
  struct Case {
    const char* fen;
    int depth;
    uint64_t leaves;
  };
  const Case cases[] = {
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 3, 8902},
      {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 2, 2039},
      {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 3, 97862},
      {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", 4, 43238},
      {"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", 3, 9467},
      {"r2q1rk1/pP1p2pp/Q4n2/bbp1p3/Np6/1B3NBn/pPPP1PPP/R3K2R b KQ - 0 1", 3, 9467},
      {"rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", 3, 62379},
      {"8/8/8/KPp4r/8/8/8/7k w - c6 0 1", 4, 4225},
      {"8/8/8/2k5/3Pp3/8/8/4K3 b - d3 0 1", 4, 2369},
      {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", 3, 13744},
  };
  for (const Case& c : cases) EXPECT_EQ(ModelPerft(FromFen(c.fen), c.depth), c.leaves) << c.fen;
}

TEST(ChessModel, FenIsReadAndWrittenAsTheEngineDoes) {
  ModelPosition p;
  // Slashes are optional between ranks; trailing fields are ignored; four fields are written.
  ASSERT_TRUE(p.ReadFen("rnbqkbnrpppppppp8888PPPPPPPPRNBQKBNR w KQkq - 5 9"));
  ASSERT_TRUE(p.Accept());
  EXPECT_EQ(p.Fen(), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
  // Syntax errors.
  for (const char* bad :
       {"4k3/8/8/8/8/8/8/4K3 w -", "4k3/8/8/8/8/8/8/4K3w - -", "4k3/8/8/4P4/8/8/8/4K3 w - -",
        "4k3/8/8/8/8/8/8/4K3/ w - -", "4k3/8/8/8/8/8/8/4K3 w - e3", "4k3/8/8/8/8/8/8/4K3 x - -"})
    EXPECT_FALSE(p.ReadFen(bad)) << bad;
  // Read but refused: no kings, a right without its rook, the side not to move in check, a pawn on rank 8.
  for (const char* refused :
       {"8/8/8/8/8/8/8/8 w - -", "4k3/8/8/8/8/8/8/4K2R w KQ -", "4k3/8/8/8/8/8/4r3/4K3 b - -",
        "P3k3/8/8/8/8/8/8/4K3 w - -", "4k3/8/8/8/8/8/8/4KK2 w - -"}) {
    ASSERT_TRUE(p.ReadFen(refused)) << refused;
    EXPECT_FALSE(p.Accept()) << refused;
  }
  // An en-passant square that no double step explains is dropped, a real one kept.
  ASSERT_TRUE(p.ReadFen("4k3/8/8/3pP3/8/8/8/4K3 w - d6"));
  ASSERT_TRUE(p.Accept());
  EXPECT_EQ(p.epFile, 4);
  ASSERT_TRUE(p.ReadFen("4k3/3p4/8/3pP3/8/8/8/4K3 w - d6"));
  ASSERT_TRUE(p.Accept());
  EXPECT_EQ(p.epFile, 0);
}

TEST(ChessModel, GameMovesTakeBacksAndSideSwitches) {
  ChessModel game;
  ASSERT_TRUE(game.Play("e2e4"));
  // At game level every double step records its file, whether or not a pawn could take.
  EXPECT_EQ(game.PositionLine(), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
  EXPECT_FALSE(game.Play("e2e4"));
  EXPECT_FALSE(game.Play("e7e5q"));
  ASSERT_TRUE(game.Play("g8f6"));
  ASSERT_TRUE(game.Play("e1e2"));
  EXPECT_EQ(game.PositionLine(), "rnbqkb1r/pppppppp/5n2/8/4P3/8/PPPPKPPP/RNBQ1BNR b kq - 2 2");
  game.TakeBack();
  game.TakeBack();
  EXPECT_EQ(game.PositionLine(), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
  // "white" hands the move over and takes the en-passant right with it; a take-back restores the mover.
  game.SetSideToMove(0);
  EXPECT_EQ(game.position.Fen(), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR w KQkq -");
  game.TakeBack();
  EXPECT_EQ(game.PositionLine(), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
}

TEST(ChessModel, GameEndsAsTheEngineDeclaresThem) {
  ChessModel game;
  for (const char* move : {"f2f3", "e7e5", "g2g4"}) ASSERT_TRUE(game.Play(move));
  ASSERT_TRUE(game.Play("d8h4"));
  EXPECT_EQ(game.result, 2);
  EXPECT_TRUE(game.gameOver);
  EXPECT_EQ(game.lines, std::vector<std::string>{"0-1 {Black mates}"});
  game.SetSideToMove(0);  // White is to move already: nothing is decided or sent again
  EXPECT_EQ(game.result, 2);
  EXPECT_FALSE(game.gameOver);
  EXPECT_TRUE(game.lines.empty());
  game.TakeBack();
  EXPECT_EQ(game.result, 0);

  // Knights out and back twice: the start position stands for the third time after the eighth ply.
  ChessModel shuffle;
  const char* knights[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
  for (int ply = 0; ply < 8; ++ply) {
    EXPECT_EQ(shuffle.result, 0) << ply;
    ASSERT_TRUE(shuffle.Play(knights[ply % 4]));
  }
  EXPECT_EQ(shuffle.result, 5);
  EXPECT_FALSE(shuffle.gameOver);
  // Under UCI the line is sent and the game goes on.
  ChessModel uci(true);
  for (int ply = 0; ply < 8; ++ply) ASSERT_TRUE(uci.Play(knights[ply % 4]));
  EXPECT_EQ(uci.lines, std::vector<std::string>{"1/2-1/2 {Draw by repetition}"});
  EXPECT_EQ(uci.result, 0);

  // A repetition needs the same castling rights and en-passant right (a capture that is legal): the
  // start position after a rook's trip, and a double step the opponent could take, count anew.
  ChessModel rook;
  const char* trip[] = {"g1f3", "b8c6", "h1g1", "c6b8", "g1h1", "b8c6",
                        "h1g1", "c6b8", "g1h1", "b8c6", "h1g1"};
  for (int ply = 0; ply < 11; ++ply) {
    EXPECT_EQ(rook.result, 0) << ply;
    ASSERT_TRUE(rook.Play(trip[ply]));
  }
  EXPECT_EQ(rook.result, 5);
  for (const char* fen : {"4k3/8/8/8/3p4/8/4P3/4K3 w - -", "8/8/8/8/k2p3R/8/4P3/4K3 w - -"}) {
    const bool pinned = fen[8] == 'k';  // the capture would leave the black king to the rook
    ChessModel pawns;
    pawns.position = FromFen(fen);
    pawns.Reset();
    ASSERT_TRUE(pawns.Play("e2e4"));
    const char* kings[] = {pinned ? "a4a5" : "e8d8", "e1d1", pinned ? "a5a4" : "d8e8", "d1e1"};
    for (int ply = 0; ply < 8; ++ply) ASSERT_TRUE(pawns.Play(kings[ply % 4])) << fen << ply;
    EXPECT_EQ(pawns.result, pinned ? 5 : 0) << fen;
  }

  // Material: bishops on one colour and a lone knight are dead draws; two knights offer a draw at 5 and 6.
  for (const char* fen : {"4k3/8/8/2b5/8/8/3B4/4K3 w - -", "4k3/8/8/8/8/8/3N4/4K3 w - -"}) {
    game.position = FromFen(fen);
    game.Reset();
    EXPECT_EQ(game.result, 6) << fen;
  }
  game.position = FromFen("4k3/8/8/8/8/8/3NN3/4K3 w - -");
  game.Reset();
  EXPECT_EQ(game.result, 0);
  const char* walk[] = {"e1f1", "e8f8", "f1g1", "f8g8", "g1h1", "g8h8", "h1g1"};
  for (int ply = 0; ply < 7; ++ply) {
    ASSERT_TRUE(game.Play(walk[ply]));
    EXPECT_EQ(game.lines,
              ply == 4 || ply == 5 ? std::vector<std::string>{"offer draw"} : std::vector<std::string>{})
        << ply;
  }

  // Fifty moves: 99 reversible plies leave the game on, the 100th ends it. Quiet moves into positions not
  // seen before, so that no repetition comes first.
  game.position = FromFen("1r5k/8/8/8/8/8/8/K5R1 w - -");
  game.Reset();
  std::set<std::string> seen = {game.position.Fen()};
  for (int ply = 0; ply < 100; ++ply) {
    EXPECT_EQ(game.result, 0) << ply;
    bool played = false;
    for (const ModelMove& move : game.Legal()) {
      ModelPosition next = game.position;
      if (next.squares[move.to] != '.' || !seen.insert((next.Make(move), next.Fen())).second) continue;
      game.Play(move);
      played = true;
      break;
    }
    ASSERT_TRUE(played) << ply;
  }
  EXPECT_EQ(game.result, 4);
}

}  // namespace
}  // namespace kelb::test

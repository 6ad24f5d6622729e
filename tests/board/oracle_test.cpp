// Opt-in cross-check against another engine's move counts on positions reached by random games:
//   test_board --gtest_also_run_disabled_tests --gtest_filter=*Oracle*
// Needs Debian's stockfish (/usr/games/stockfish); skipped without it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "board/fen.h"
#include "board/game.h"
#include "board/movetext.h"
#include "support/board_test_util.h"

namespace kelb::test {
namespace {

constexpr const char* kOracle = "/usr/games/stockfish";

int64_t OracleCount(const std::string& fen, int depth) {
  const std::string command = std::string("printf 'position fen ") + fen + "\\ngo perft " +
                              std::to_string(depth) + "\\nquit\\n' | " + kOracle + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  char line[512];
  int64_t nodes = -1;
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    long long n = 0;
    if (std::sscanf(line, "Nodes searched: %lld", &n) == 1) nodes = n;
  }
  pclose(pipe);
  return nodes;
}

TEST(Oracle, DISABLED_RandomGamesAgreeWithAnotherEngine) {
  if (access(kOracle, X_OK) != 0) GTEST_SKIP() << "no oracle engine installed";
  const char* starts[] = {
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
      "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1",
  };
  uint32_t seed = 12345;
  int checked = 0;
  for (const char* start : starts) {
    for (int game = 0; game < 6; ++game) {
      ASSERT_TRUE(SetUpGame(start));
      for (int plies = 0; plies < 60 && result == kResultNone && legalMoveCount > 0; ++plies) {
        if (plies % 5 == 0) {
          const std::string fen = WriteFen();
          Board.makeDepth = 0;
          Board.ply = 1;
          const int64_t ours = Perft(3);
          EXPECT_EQ(ours, OracleCount(fen, 3)) << fen;
          ++checked;
        }
        seed = seed * 134775813u + 1u;
        const int k = 1 + static_cast<int>((static_cast<uint64_t>(seed) * legalMoveCount) >> 32);
        ASSERT_TRUE(PlayMove(legalMoves[k]));
      }
    }
  }
  EXPECT_GT(checked, 50);
}

}  // namespace
}  // namespace kelb::test

// Game handling seen through the protocol: results, draw offers, refusals, take-backs, side switches, edit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/engine_process.h"

namespace kelb::test {
namespace {

// An engine in force mode (it never thinks), past its start-up lines.
class GameProtocol : public testing::Test {
 protected:
  void SetUp() override {
    engine.Start();
    engine.WriteLine("xboard");
    engine.WriteLine("force");
    Sync();
  }
  void TearDown() override { EXPECT_EQ(engine.Quit(), 0); }
  // Sends the lines, then a ping; returns every line that came before the pong.
  std::vector<std::string> Send(const std::vector<std::string>& lines) {
    for (const std::string& l : lines) engine.WriteLine(l);
    return Sync();
  }
  std::vector<std::string> Sync() {
    engine.WriteLine("ping " + std::to_string(++pings));
    std::vector<std::string> seen;
    EXPECT_TRUE(engine.WaitFor("pong " + std::to_string(pings), nullptr, 10000, &seen));
    if (!seen.empty()) seen.pop_back();  // the pong itself
    std::vector<std::string> useful;
    for (const std::string& l : seen) {
      if (!l.empty()) useful.push_back(l);
    }
    return useful;
  }
  EngineProcess engine;
  int pings = 0;
};

using Lines = std::vector<std::string>;

TEST_F(GameProtocol, FoolsMateThenMovesAreRefusedUntilTakenBack) {
  EXPECT_EQ(Send({"f2f3", "e7e5", "usermove g2g4", "d8h4"}), Lines{"0-1 {Black mates}"});
  EXPECT_EQ(Send({"a2a3"}), Lines{"Illegal move"});
  EXPECT_EQ(Send({"undo", "h7h6"}), Lines{});
  EXPECT_EQ(Send({"remove", "remove", "e2e4", "e7e5"}), Lines{});
}

TEST_F(GameProtocol, RepetitionByKnightShuffles) {
  EXPECT_EQ(Send({"new", "force", "g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1"}), Lines{});
  EXPECT_EQ(Send({"f6g8"}), Lines{"1/2-1/2 {Draw by repetition}"});
}

// A position repeats only with the same side to move, castling rights and en-passant right, the right
// counting only where the capture is legal.
TEST_F(GameProtocol, RepetitionNeedsTheSameCastlingAndEnPassantRights) {
  const Lines draw = {"1/2-1/2 {Draw by repetition}"};
  // The rook's first trip costs White the king-side right: the position after 1.Nf3 stands for the third
  // time after ply 9, but only the second time with the same rights. The position after 2.Rg1 (ply 3)
  // has no right left to lose and is the first to stand three times, after ply 11.
  EXPECT_EQ(Send({"new", "force", "g1f3", "b8c6", "h1g1", "c6b8", "g1h1", "b8c6", "h1g1", "c6b8", "g1h1"}),
            Lines{});
  EXPECT_EQ(Send({"b8c6"}), Lines{});
  EXPECT_EQ(Send({"h1g1"}), draw);

  // After e2e4 Black could take en passant; once the kings have walked round, it can no longer. The
  // position after e2e4 comes back at plies 5 and 9 without that right; the one after e8d8 (plies 2, 6,
  // 10) is the first threefold.
  const std::vector<std::string> walk = {"e8d8", "e1d1", "d8e8", "d1e1", "e8d8", "e1d1", "d8e8", "d1e1"};
  std::vector<std::string> lines = {"setboard 4k3/8/8/8/3p4/8/4P3/4K3 w - -", "e2e4"};
  lines.insert(lines.end(), walk.begin(), walk.end());
  EXPECT_EQ(Send(lines), Lines{});
  EXPECT_EQ(Send({"e8d8"}), draw);

  // A capture en passant that would leave the king to the rook is no right: all three count.
  const std::vector<std::string> round = {"a4a5", "e1d1", "a5a4", "d1e1", "a4a5", "e1d1", "a5a4"};
  lines = {"setboard 8/8/8/8/k2p3R/8/4P3/4K3 w - -", "e2e4"};
  lines.insert(lines.end(), round.begin(), round.end());
  EXPECT_EQ(Send(lines), Lines{});
  EXPECT_EQ(Send({"d1e1"}), draw);
}

// A game is announced over once: commands that give the move to the other side or start the engine do not
// repeat the result; a new position, or a move that ends the game again, does.
TEST_F(GameProtocol, AFinishedGameIsAnnouncedOnce) {
  const std::string bishops = "setboard 2b1k3/8/8/8/8/8/8/4KB2 w - -";
  const Lines material = {"1/2-1/2 {Draw by insufficient material}"};
  EXPECT_EQ(Send({bishops}), material);
  EXPECT_EQ(Send({"black", "white", "black", "go", "force", "white", "hard", "easy", "post", "nopost"}),
            Lines{});
  EXPECT_EQ(Send({"e1e2"}), Lines{"Illegal move"});
  EXPECT_EQ(Send({bishops}), material);
  EXPECT_EQ(Send({"new", "force"}), Lines{});

  // A mated side handed the move back and forth: still mated, moves still refused.
  const Lines mate = {"0-1 {Black mates}"};
  EXPECT_EQ(Send({"f2f3", "e7e5", "g2g4", "d8h4"}), mate);
  EXPECT_EQ(Send({"black", "white", "go", "force"}), Lines{});
  EXPECT_EQ(Send({"black", "e8d8"}), Lines{"Illegal move"});
  // A take-back reopens the game (Black to move again); the mate played anew is announced anew.
  EXPECT_EQ(Send({"undo", "d8h4"}), mate);
}

TEST_F(GameProtocol, InsufficientMaterialAfterACaptureAndDrawOffers) {
  EXPECT_EQ(Send({"setboard 4k3/8/8/8/8/8/3r4/4K1N1 w - - 0 1", "e1d2"}),
            Lines{"1/2-1/2 {Draw by insufficient material}"});
  EXPECT_EQ(Send({"setboard 4k3/8/8/8/8/8/8/1NN1K3 w - - 0 1", "e1e2", "e8e7", "e2e1", "e7e8"}), Lines{});
  EXPECT_EQ(Send({"b1a3"}), Lines{"offer draw"});
  EXPECT_EQ(Send({"e8d8"}), Lines{"offer draw"});
  EXPECT_EQ(Send({"a3b1"}), Lines{});
}

TEST_F(GameProtocol, IllegalSetUpHaltsUntilNew) {
  EXPECT_EQ(Send({"setboard 4k3/8/8/8/8/8/8/4K2R w KQ - 0 1"}), Lines{"tellusererror illegal position"});
  EXPECT_EQ(Send({"e2e4"}), Lines{"Illegal move"});
  EXPECT_EQ(Send({"setboard 4k3/8/8/8/8/8/8/4K3 w - - 0 1"}), Lines{"tellusererror illegal position"});
  EXPECT_EQ(Send({"new", "force", "e2e4"}), Lines{});
}

TEST_F(GameProtocol, SideSwitchAcceptsOnlyMovesOfTheNewSide) {
  EXPECT_EQ(Send({"e2e4", "white", "e7e5"}), Lines{"Illegal move"});
  EXPECT_EQ(Send({"d2d4", "black", "d2d3"}), Lines{"Illegal move"});
  EXPECT_EQ(Send({"e7e5"}), Lines{});
}

TEST_F(GameProtocol, EditDialogueSetsUpThePosition) {
  EXPECT_EQ(Send({"edit", "#", "Ke1", "Ra1", "c", "Ke8", ".", "e1c1"}), Lines{});
  const Lines refused = {"tellusererror illegal position", "Illegal move"};
  EXPECT_EQ(Send({"edit", "#", "Ke1", ".", "e1e2"}), refused);
  // The edit keeps the side to move: black since e1c1.
  EXPECT_EQ(Send({"edit", "#", "Ke1", "c", "Ke8", "Pa2", ".", "a2a1q"}), Lines{});
}

}  // namespace
}  // namespace kelb::test

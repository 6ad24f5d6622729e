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
  void TearDown() override {
    engine.WriteLine("quit");
    EXPECT_EQ(engine.WaitExit(), 0);
  }
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

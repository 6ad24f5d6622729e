#include "driver/parser.h"

#include <gtest/gtest.h>

#include "driver/WBinout.h"
#include "stdio_redirect.h"

namespace kelb {
namespace {

using test::StdioRedirect;

class ParserTest : public ::testing::Test {
 protected:
  void SetUp() override { InitChannel(); }
  StdioRedirect io;
};

TEST_F(ParserTest, BareMoveBecomesUsermove) {
  EXPECT_EQ(ParseCommand("e2e4"), CmdUserMove);
  EXPECT_EQ(WordCount, 2);
  EXPECT_EQ(CommandWords[1], "usermove");
  EXPECT_EQ(CommandWords[2], "e2e4");
  EXPECT_EQ(ParseCommand("a7a8q"), CmdUserMove);
  EXPECT_EQ(CommandWords[2], "a7a8q");
  // Only the first two characters are looked at: the move handler refuses the rest.
  EXPECT_EQ(ParseCommand("h8zz"), CmdUserMove);
  EXPECT_EQ(io.Output(), "");
}

TEST_F(ParserTest, NotBareMovesAreUnknown) {
  EXPECT_EQ(ParseCommand("E2E4"), CmdUnknown);
  EXPECT_EQ(ParseCommand("e2e4 e7e5"), CmdUnknown);
  EXPECT_EQ(ParseCommand("e9e4"), CmdUnknown);
  EXPECT_EQ(ParseCommand("e2e"), CmdUnknown);
  EXPECT_EQ(ParseCommand("e2e4qq"), CmdUnknown);
  EXPECT_EQ(io.Output(),
            "Error (unknown command): E2E4\nError (unknown command): e2e4 e7e5\n"
            "Error (unknown command): e9e4\nError (unknown command): e2e\n"
            "Error (unknown command): e2e4qq\n");
}

TEST_F(ParserTest, CommandWordsAreExact) {
  EXPECT_EQ(ParseCommand("new"), CmdNew);
  EXPECT_EQ(ParseCommand("multianalyze"), CmdMultiAnalyze);
  EXPECT_EQ(ParseCommand("uci"), CmdUci);
  EXPECT_EQ(ParseCommand("ping 7"), CmdPing);
  EXPECT_EQ(CommandWords[2], "7");
  EXPECT_EQ(ParseCommand("usermove"), CmdUserMove);
  EXPECT_EQ(CommandWords[2], "");
  EXPECT_EQ(ParseCommand("New"), CmdUnknown);
  EXPECT_EQ(ParseCommand("variant suicide"), CmdUnknown);
  EXPECT_EQ(ParseCommand("?"), CmdUnknown);
  EXPECT_EQ(io.Output(),
            "Error (unknown command): New\nError (unknown command): variant suicide\n"
            "Error (unknown command): ?\n");
}

TEST_F(ParserTest, EveryTableWordHasItsCode) {
  const std::pair<const char*, CommandCode> table[] = {{"new", CmdNew},
                                                       {"quit", CmdQuit},
                                                       {"usermove", CmdUserMove},
                                                       {"force", CmdForce},
                                                       {"go", CmdGo},
                                                       {"edit", CmdEdit},
                                                       {"xboard", CmdXboard},
                                                       {"random", CmdRandom},
                                                       {"sd", CmdSd},
                                                       {"auto", CmdAuto},
                                                       {"st", CmdSt},
                                                       {"level", CmdLevel},
                                                       {"time", CmdTime},
                                                       {"otim", CmdOtim},
                                                       {"ping", CmdPing},
                                                       {"protover", CmdProtover},
                                                       {"draw", CmdDraw},
                                                       {"accepted", CmdAccepted},
                                                       {"hard", CmdHard},
                                                       {"easy", CmdEasy},
                                                       {"post", CmdPost},
                                                       {"nopost", CmdNopost},
                                                       {"undo", CmdUndo},
                                                       {"remove", CmdRemove},
                                                       {"analyze", CmdAnalyze},
                                                       {"exit", CmdExit},
                                                       {"white", CmdWhite},
                                                       {"loadpos", CmdLoadpos},
                                                       {"setboard", CmdSetboard},
                                                       {"black", CmdBlack},
                                                       {"savepos", CmdSavepos},
                                                       {"computer", CmdComputer},
                                                       {"bk", CmdBk},
                                                       {"hint", CmdHint},
                                                       {"result", CmdResult},
                                                       {"savepgn", CmdSavepgn},
                                                       {"multianalyze", CmdMultiAnalyze},
                                                       {"rating", CmdRating},
                                                       {"uci", CmdUci}};
  for (const auto& [word, code] : table) EXPECT_EQ(ParseCommand(word), code) << word;
  EXPECT_EQ(io.Output(), "");
}

TEST_F(ParserTest, WordSplittingOnBlanksOnly) {
  ParseCommand("  level   40\t5  0 ");
  EXPECT_EQ(WordCount, 3);
  EXPECT_EQ(CommandWords[2], "40\t5");
  EXPECT_EQ(CommandWords[3], "0");
  EXPECT_EQ(CommandWords[4], "");
}

TEST_F(ParserTest, SetboardKeepsFiveWords) {
  EXPECT_EQ(ParseCommand("setboard rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"),
            CmdSetboard);
  EXPECT_EQ(WordCount, 5);
  EXPECT_EQ(CommandWords[5], "e3");
  EXPECT_EQ(ParseCommand("a b c d e f g"), CmdUnknown);
  EXPECT_EQ(WordCount, 5);
  EXPECT_EQ(CommandWords[5], "e");
  // The error repeats the whole line, not only the words kept.
  EXPECT_EQ(io.Output(), "Error (unknown command): a b c d e f g\n");
}

TEST_F(ParserTest, ErrorLineCutAt255) {
  std::string line = "z" + std::string(254, 'y');
  ParseCommand(line);
  std::string out = io.Output();
  ASSERT_EQ(out.size(), 256u);
  EXPECT_EQ(out, ("Error (unknown command): " + line).substr(0, 255) + "\n");
}

}  // namespace
}  // namespace kelb

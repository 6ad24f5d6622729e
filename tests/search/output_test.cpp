#include "search/output.h"

#include <gtest/gtest.h>

#include <string>

namespace kelb {
namespace {

// e2e4 e7e5 g1f3 as PV codes (from * 100 + to).
constexpr int32_t kLine[] = {5254, 5755, 7163};

std::string Text(int32_t code) {
  char buf[8];
  PvMoveText(code, buf);
  return buf;
}

std::string Score(int32_t s) {
  char buf[24];
  UciScoreText(s, buf, sizeof buf);
  return buf;
}

TEST(PvMoveTextTest, CoordinatesAndLowerCasePromotions) {
  EXPECT_EQ(Text(5254), "e2e4");
  EXPECT_EQ(Text(5 * 10000 + 5758), "e7e8q");
  EXPECT_EQ(Text(2 * 10000 + 1718), "a7a8n");
  EXPECT_EQ(Text(11 * 10000 + 1211), "a2a1q");  // black queen
  EXPECT_EQ(Text(10 * 10000 + 8281), "h2h1r");
  EXPECT_EQ(Text(5171), "e1g1");
}

TEST(UciScoreTextTest, CentipawnsAndMates) {
  EXPECT_EQ(Score(35), "cp 35");
  EXPECT_EQ(Score(-32000), "cp -32000");
  EXPECT_EQ(Score(32000), "cp 32000");
  EXPECT_EQ(Score(32001), "mate 383");
  EXPECT_EQ(Score(32766), "mate 1");
  EXPECT_EQ(Score(32764), "mate 2");
  EXPECT_EQ(Score(32762), "mate 3");
  EXPECT_EQ(Score(-32765), "mate -1");
  EXPECT_EQ(Score(-32763), "mate -2");
  EXPECT_EQ(Score(-32001), "mate -383");
}

TEST(ThinkingLineTest, WinBoardFinalAndProvisional) {
  char buf[256];
  FormatWinBoardThinking(buf, sizeof buf, 7, 35, 4123, 812, kLine, 3);
  EXPECT_STREQ(buf, "7 35 412 812 e2e4 e7e5 g1f3");
  FormatWinBoardThinking(buf, sizeof buf, 7, -12, 9, 40, kLine, 1);
  EXPECT_STREQ(buf, "7 -12 0 40 e2e4");
}

TEST(ThinkingLineTest, UciInfoLines) {
  char buf[256];
  FormatUciInfo(buf, sizeof buf, 7, 35, 4123, 812, kLine, 3);
  EXPECT_STREQ(buf, "info depth 7 score cp 35 time 4123 nodes 812 pv e2e4 e7e5 g1f3");
  FormatUciInfo(buf, sizeof buf, 3, 32766, 5, 100, kLine, 1);
  EXPECT_STREQ(buf, "info depth 3 score mate 1 time 5 nodes 100 pv e2e4");
  FormatUciAnalysisLine(buf, sizeof buf, 7, 2, -35, 4123, 812, kLine, 2);
  EXPECT_STREQ(buf, "info depth 7 multipv 2 score cp -35 time 4123 nodes 812 pv e2e4 e7e5");
}

TEST(ThinkingLineTest, UciCurrentMoveRateInWholeThousands) {
  char buf[256];
  FormatUciCurrentMove(buf, sizeof buf, 6, 1234567, 1500, "e2e4", 3, 17);
  // 1234567 / 1500 = 823 nodes per ms, reported as 823000.
  EXPECT_STREQ(buf,
               "info depth 6 nodes 1234567 time 1500 nps 823000 currmove e2e4 currmovenumber 3 hashfull 17");
}

TEST(ThinkingLineTest, LongLinesAreCutNotOverrun) {
  int32_t pv[18];
  for (int k = 0; k < 18; k++) pv[k] = 5254;
  char buf[40];
  const int n = FormatWinBoardThinking(buf, sizeof buf, 20, -300, 123456, 99999999, pv, 18);
  EXPECT_LT(n, 40);
  EXPECT_EQ(std::string(buf).size(), static_cast<size_t>(n));
}

}  // namespace
}  // namespace kelb

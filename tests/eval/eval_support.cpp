#include "eval_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <sstream>
#include <vector>

#include "board/attack.h"
#include "board/fen.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "driver/config.h"
#include "eval/eval.h"
#include "support/position.h"

namespace kelb::test {

bool SetUpFen(const std::string& fen) {
  engineState.mode = EngineMode::Force;  // a refused earlier position must not taint this one
  return PlaceFen(fen);
}

static std::string SwapCase(const std::string& s) {
  std::string out = s;
  for (char& c : out)
    c = std::isupper(static_cast<unsigned char>(c)) ? static_cast<char>(std::tolower(c))
                                                    : static_cast<char>(std::toupper(c));
  return out;
}

std::string FlipFen(const std::string& fen) {
  std::istringstream in(fen);
  std::string placement, side, castling = "-", ep = "-";
  in >> placement >> side >> castling >> ep;
  std::vector<std::string> ranks;
  std::string rank;
  std::istringstream rows(placement);
  while (std::getline(rows, rank, '/')) ranks.push_back(rank);
  std::string flipped;
  for (int i = static_cast<int>(ranks.size()) - 1; i >= 0; i--) {
    flipped += SwapCase(ranks[i]);
    if (i > 0) flipped += '/';
  }
  std::string rights;
  for (char c : std::string("KQkq")) {
    char twin = std::isupper(static_cast<unsigned char>(c)) ? static_cast<char>(std::tolower(c))
                                                            : static_cast<char>(std::toupper(c));
    if (castling.find(twin) != std::string::npos) rights += c;
  }
  if (rights.empty()) rights.push_back('-');
  std::string epTwin = ep;
  if (epTwin.size() == 2) epTwin[1] = epTwin[1] == '3' ? '6' : '3';
  std::string out = flipped;
  out += side == "w" ? " b " : " w ";
  out += rights;
  out += ' ';
  out += epTwin;
  return out;
}

std::string RandomMoveFen(std::mt19937& rng) {
  inCheck[1] = IsAttacked(Board.king[Board.side], Board.xside) ? 1 : 0;
  checksOnly[1] = 0;
  futilityThreshold = 0;
  GenerateMoves(false);
  std::vector<int> order;
  for (int i = 1; i <= moveCount[0]; i++) order.push_back(moveStart[0] + i);
  std::shuffle(order.begin(), order.end(), rng);
  for (int index : order) {
    Move& m = moveBuffer[index];
    MakeMove(m);
    const bool legal = !IsAttacked(Board.king[Board.xside], Board.side);
    const std::string after = legal ? WriteFen() : std::string();
    UnmakeMove(m);
    if (legal) return after;
  }
  return std::string();
}

int EvalFen(const std::string& fen) {
  EXPECT_TRUE(SetUpFen(fen)) << fen;
  return Evaluate();
}

EvalContext AfterPawns(const std::string& fen) {
  EvalContext e;
  EXPECT_TRUE(SetUpFen(fen)) << fen;
  InitEvalContext(e);
  ScorePawns(e);
  return e;
}

EvalContext AfterKings(const std::string& fen) {
  EvalContext e = AfterPawns(fen);
  BlendPawnScores(e);
  ScoreKings(e);
  return e;
}

}  // namespace kelb::test

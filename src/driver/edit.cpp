#include "driver/edit.h"

#include <string>

#include "board/board.h"
#include "board/fen.h"
#include "board/game.h"
#include "driver/WBinout.h"
#include "driver/config.h"

namespace kelb {

// The square of a three-character edit line such as "Pe4" or "xe4"; 0 when it does not fit.
static int EditSquare(const std::string& line) {
  if (line.size() != 3) return 0;
  char f = line[1];
  if (f >= 'A' && f <= 'H') f = static_cast<char>(f - 'A' + 'a');
  if (f < 'a' || f > 'h' || line[2] < '1' || line[2] > '8') return 0;
  return SquareAt(f - 'a' + 1, line[2] - '0');
}

static int EditKind(char c) {
  switch (c) {
    case 'P':
    case 'p':
      return kPawn;
    case 'N':
    case 'n':
      return kKnight;
    case 'B':
    case 'b':
      return kBishop;
    case 'R':
    case 'r':
      return kRook;
    case 'Q':
    case 'q':
      return kQueen;
    case 'K':
    case 'k':
      return kKing;
    default:
      return 0;
  }
}

void EditPosition() {
  const EngineMode before = engineState.mode;
  engineState.mode = EngineMode::Edit;
  int colour = kWhite;
  for (;;) {
    while (InputLine.empty()) WaitLine();
    const std::string line = InputLine;
    InputLine.clear();
    if (line == ".") break;
    if (line.empty()) continue;
    const char first = line[0];
    if (first == '#') {
      for (int s = 0; s <= 99; ++s) Board.squares[s] = kEmpty;
    } else if (first == 'c') {
      colour = 1 - colour;
    } else if (first == 'x') {
      const int square = EditSquare(line);
      if (square != 0) Board.squares[square] = kEmpty;
    } else if (EditKind(first) != 0) {
      const int square = EditSquare(line);
      if (square != 0) Board.squares[square] = PieceCode(colour, EditKind(first));
    }
  }

  // Castling is granted exactly where king and rook still stand on their starting squares.
  const bool whiteKingHome = Board.squares[kE1] == kWhiteKing;
  const bool blackKingHome = Board.squares[kE8] == kBlackKing;
  Board.queenSideLost[kWhite] = !(whiteKingHome && Board.squares[kA1] == kWhiteRook);
  Board.kingSideLost[kWhite] = !(whiteKingHome && Board.squares[kH1] == kWhiteRook);
  Board.queenSideLost[kBlack] = !(blackKingHome && Board.squares[kA8] == kBlackRook);
  Board.kingSideLost[kBlack] = !(blackKingHome && Board.squares[kH8] == kBlackRook);
  Board.epFile = 0;

  // The mode is Edit here, so a halt from an earlier set-up does not refuse the edited position.
  bool illegal = false;
  BuildPieceLists(illegal);
  gameFromStartPosition = false;
  startFen = WriteFen().substr(0, kMaxStartFenLength);
  if (illegal) {
    engineState.mode = EngineMode::Halted;
    SendLine("tellusererror illegal position");
  } else {
    engineState.mode = before == EngineMode::Analyze ? EngineMode::Analyze : EngineMode::Force;
  }
  ResetGame();
}

}  // namespace kelb

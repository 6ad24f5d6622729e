// A small reference model of a chess game for the tests, written apart from the engine's board code so that a
// fault there cannot hide in the referee: its own mailbox board and move generator, FEN in and out in the
// engine's four-field form, the game history with take-backs, and the end of the game with exactly the result
// and draw-offer lines the engine sends. Slow and simple on purpose.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelb::test {

// Squares 0..63: 8 * rank + file, both counted from 0 (a1 = 0, h1 = 7, a8 = 56).
inline int ModelSquare(int file, int rank) { return 8 * rank + file; }
std::string ModelSquareName(int square);

struct ModelMove {
  int from = 0;
  int to = 0;
  char promotion = 0;  // 'q', 'r', 'b', 'n', or 0
  std::string Text() const;
};

struct ModelPosition {
  char squares[64];                               // '.' empty, "PNBRQK" White, "pnbrqk" Black
  int side = 0;                                   // 0 White, 1 Black to move
  bool castle[4] = {false, false, false, false};  // K, Q, k, q
  int epFile = 0;  // 1..8: the file of a pawn that has just advanced two squares

  ModelPosition();
  // The four FEN fields as the engine reads them: board, side, castling, en passant. False on a syntax error
  // (the board may then be half filled, as the engine's is).
  bool ReadFen(std::string_view text);
  // Whether the engine accepts the position once read: one king each, at most 8 pawns, 10 knights, bishops or
  // rooks and 9 queens a side, no pawn on the first or last rank, the side not to move not in check, castling
  // rights only with king and rook at home. An en-passant file no double step could have made is dropped.
  bool Accept();
  std::string Fen() const;  // board, side, castling, en passant

  bool Attacked(int square, int bySide) const;
  int KingSquare(int colour) const;  // -1 when there is none
  bool InCheck(int colour) const;
  std::vector<ModelMove> LegalMoves() const;
  // Plays a move of LegalMoves(); after any double step the en-passant file is set (as at game level).
  // Returns true when the move resets the fifty-move count (a pawn move or a capture).
  bool Make(const ModelMove& move);
  // The piece material of one side in the engine's units (knight, bishop 300, rook 500, queen 900).
  int PieceMaterial(int colour) const;
  bool HasPawns() const;
};

uint64_t ModelPerft(const ModelPosition& position, int depth);

// The game: the position after each move, the history that take-backs and the repetition rule use, and the
// game state after every change, as the engine's game record keeps them.
class ChessModel {
 public:
  explicit ChessModel(bool uci = false) : uciMode(uci) { NewGame(); }

  ModelPosition position;
  int result = 0;                  // 0 while the game goes on, 1..7 as the engine's result codes
  bool gameOver = false;           // the last check ended the game for good (mate, stalemate, move limit)
  std::vector<std::string> lines;  // what the last change sent: "offer draw" and result lines

  void NewGame();
  // Starts a fresh history from `position` (after any set-up) and checks the game state; a refused position
  // is not checked.
  void Reset(bool check = true);
  // Plays a move given as text if it is legal; false (and nothing changes) otherwise.
  bool Play(const std::string& text);
  void Play(const ModelMove& move);
  void TakeBack();  // restores the position before the last move exactly
  // "white"/"black": a real change of side drops any en-passant right and, while the game goes on, decides
  // the game end for the new side to move (without a draw offer). A finished game keeps its result and
  // sends nothing. The same side changes nothing.
  void SetSideToMove(int side);
  bool IsLegal(const std::string& text) const;
  std::vector<ModelMove> Legal() const { return position.LegalMoves(); }
  // The line the engine appends with "savepos": FEN, the fifty-move count and the move number.
  std::string PositionLine() const;
  int Ply() const { return static_cast<int>(moves.size()); }
  const std::vector<ModelMove>& Moves() const { return moves; }
  const std::vector<ModelPosition>& Before() const { return before; }  // the position before each move
  bool KingCanBeTaken() const { return position.InCheck(1 - position.side); }
  bool DrawishMaterial() const;

 private:
  // What the rules of chess compare for a repetition: placement, side to move, castling rights, and the
  // file of an en-passant capture that is legal (0 when none).
  struct Identity {
    std::string squares;
    int side = 0;
    std::string castling;
    int epFile = 0;
    bool operator==(const Identity& other) const {
      return side == other.side && epFile == other.epFile && castling == other.castling &&
             squares == other.squares;
    }
  };
  Identity CurrentIdentity() const;
  int RepetitionCount() const;
  bool BishopsOnly() const;
  void CheckGameState(bool offerDraw = true);

  bool uciMode;
  std::vector<ModelMove> moves;
  std::vector<ModelPosition> before;  // the position before each move, for take-backs
  std::vector<Identity> identities;   // [p]: the position after p moves ("white"/"black" rewrite the last)
  std::vector<int> fifty;             // [p]: reversible half-moves after p moves
};

}  // namespace kelb::test

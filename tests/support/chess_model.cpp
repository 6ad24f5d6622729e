#include "support/chess_model.h"

#include <cctype>
#include <cstdlib>

namespace kelb::test {

static int FileOf(int square) { return square % 8; }
static int RankOf(int square) { return square / 8; }
static bool IsWhite(char piece) { return piece >= 'A' && piece <= 'Z'; }
static bool IsBlack(char piece) { return piece >= 'a' && piece <= 'z'; }
static int Owner(char piece) { return IsWhite(piece) ? 0 : IsBlack(piece) ? 1 : -1; }
static char Kind(char piece) { return static_cast<char>(std::tolower(static_cast<unsigned char>(piece))); }
static char PieceOf(int colour, char kind) {
  return colour == 0 ? static_cast<char>(std::toupper(static_cast<unsigned char>(kind))) : kind;
}

// Steps as (file, rank) pairs.
static constexpr int kKnightSteps[8][2] = {{1, 2},   {2, 1},   {2, -1}, {1, -2},
                                           {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
static constexpr int kKingSteps[8][2] = {{1, 0},  {1, 1},   {0, 1},  {-1, 1},
                                         {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
static constexpr int kRookSteps[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
static constexpr int kBishopSteps[4][2] = {{1, 1}, {-1, 1}, {-1, -1}, {1, -1}};

// The square one step away, or -1 off the board.
static int Step(int square, const int step[2]) {
  const int file = FileOf(square) + step[0];
  const int rank = RankOf(square) + step[1];
  return file < 0 || file > 7 || rank < 0 || rank > 7 ? -1 : ModelSquare(file, rank);
}

std::string ModelSquareName(int square) {
  return std::string(1, static_cast<char>('a' + FileOf(square))) + static_cast<char>('1' + RankOf(square));
}

std::string ModelMove::Text() const {
  std::string text = ModelSquareName(from) + ModelSquareName(to);
  if (promotion != 0) text += promotion;
  return text;
}

ModelPosition::ModelPosition() {
  for (char& square : squares) square = '.';
}

bool ModelPosition::ReadFen(std::string_view text) {
  // At most 120 characters count; reading past the end gives blanks.
  std::string fen(text.substr(0, 120));
  fen.resize(130, ' ');
  for (char& square : squares) square = '.';
  size_t pos = 0;
  int file = 0, rank = 7;
  while (rank >= 0) {
    const char c = fen[pos++];
    if (c == '/') {  // only where a rank begins; several in a row do no harm
      if (file != 0) return false;
      continue;
    }
    if (c >= '1' && c <= '8') {
      if (file + (c - '0') > 8) return false;
      file += c - '0';
    } else if (std::string_view("PNBRQKpnbrqk").find(c) != std::string_view::npos) {
      squares[ModelSquare(file, rank)] = c;
      ++file;
    } else {
      return false;
    }
    if (file == 8) {
      file = 0;
      --rank;
    }
  }
  if (fen[pos] != ' ' || (fen[pos + 1] != 'w' && fen[pos + 1] != 'b') || fen[pos + 2] != ' ') return false;
  side = fen[pos + 1] == 'w' ? 0 : 1;
  pos += 3;
  for (bool& right : castle) right = false;
  for (char c = fen[pos++]; c != ' '; c = fen[pos++]) {
    const size_t which = std::string_view("KQkq").find(c);
    if (which != std::string_view::npos)
      castle[which] = true;
    else if (c != '-')
      return false;
  }
  const char ep = fen[pos];
  epFile = 0;
  if (ep == '-') return true;
  if (ep < 'a' || ep > 'h' || fen[pos + 1] != (side == 1 ? '3' : '6')) return false;
  epFile = ep - 'a' + 1;
  return true;
}

bool ModelPosition::Accept() {
  int count[2][6] = {};
  static const std::string_view kinds = "pnbrqk";
  for (int square = 0; square < 64; ++square) {
    const char piece = squares[square];
    if (piece == '.') continue;
    ++count[Owner(piece)][kinds.find(Kind(piece))];
    if (Kind(piece) == 'p' && (RankOf(square) == 0 || RankOf(square) == 7)) return false;
  }
  for (const auto& c : count) {
    if (c[0] > 8 || c[1] > 10 || c[2] > 10 || c[3] > 10 || c[4] > 9 || c[5] != 1) return false;
  }
  if (InCheck(1 - side)) return false;
  // Castling rights need the king and the rook on their starting squares.
  static constexpr int kRookHome[4] = {7, 0, 63, 56};
  for (int right = 0; right < 4; ++right) {
    const int colour = right / 2;
    if (castle[right] && (squares[kRookHome[right]] != PieceOf(colour, 'r') ||
                          squares[colour == 0 ? 4 : 60] != PieceOf(colour, 'k')))
      return false;
  }
  // The double step must have been possible: the pawn on the square it reached, the two behind it empty.
  if (epFile != 0) {
    const int mover = 1 - side, file = epFile - 1;
    const int land = mover == 0 ? 3 : 4, pass = mover == 0 ? 2 : 5, start = mover == 0 ? 1 : 6;
    if (squares[ModelSquare(file, land)] != PieceOf(mover, 'p') || squares[ModelSquare(file, pass)] != '.' ||
        squares[ModelSquare(file, start)] != '.')
      epFile = 0;
  }
  return true;
}

std::string ModelPosition::Fen() const {
  std::string fen;
  for (int rank = 7; rank >= 0; --rank) {
    int empty = 0;
    for (int file = 0; file < 8; ++file) {
      const char piece = squares[ModelSquare(file, rank)];
      if (piece == '.') {
        ++empty;
        continue;
      }
      if (empty > 0) fen += static_cast<char>('0' + empty);
      empty = 0;
      fen += piece;
    }
    if (empty > 0) fen += static_cast<char>('0' + empty);
    if (rank > 0) fen += '/';
  }
  fen += side == 0 ? " w " : " b ";
  std::string rights;
  for (int right = 0; right < 4; ++right)
    if (castle[right]) rights += "KQkq"[right];
  fen += rights.empty() ? "-" : rights;
  if (epFile == 0) return fen + " -";
  return fen + ' ' + static_cast<char>('a' + epFile - 1) + (side == 1 ? '3' : '6');
}

bool ModelPosition::Attacked(int square, int bySide) const {
  // Pawns of bySide attack diagonally forward, so look one rank back from the target.
  const int back = bySide == 0 ? -1 : 1;
  for (int df : {-1, 1}) {
    const int step[2] = {df, back};
    const int from = Step(square, step);
    if (from >= 0 && squares[from] == PieceOf(bySide, 'p')) return true;
  }
  for (const auto& step : kKnightSteps) {
    const int from = Step(square, step);
    if (from >= 0 && squares[from] == PieceOf(bySide, 'n')) return true;
  }
  for (const auto& step : kKingSteps) {
    const int from = Step(square, step);
    if (from >= 0 && squares[from] == PieceOf(bySide, 'k')) return true;
  }
  for (int slider = 0; slider < 2; ++slider) {
    const auto& steps = slider == 0 ? kRookSteps : kBishopSteps;
    const char mover = PieceOf(bySide, slider == 0 ? 'r' : 'b'), queen = PieceOf(bySide, 'q');
    for (const auto& step : steps) {
      for (int s = Step(square, step); s >= 0; s = Step(s, step)) {
        if (squares[s] == '.') continue;
        if (squares[s] == mover || squares[s] == queen) return true;
        break;
      }
    }
  }
  return false;
}

int ModelPosition::KingSquare(int colour) const {
  for (int square = 0; square < 64; ++square)
    if (squares[square] == PieceOf(colour, 'k')) return square;
  return -1;
}

bool ModelPosition::InCheck(int colour) const {
  const int king = KingSquare(colour);
  return king >= 0 && Attacked(king, 1 - colour);
}

// Every move by the rules except that no move may take a king (possible only after "white"/"black" handed
// the move to the side giving check) and none may leave the mover's own king attacked.
std::vector<ModelMove> ModelPosition::LegalMoves() const {
  std::vector<ModelMove> pseudo;
  const int us = side, them = 1 - side;
  auto add = [&](int from, int to) {
    if (squares[to] != '.' && (Owner(squares[to]) == us || Kind(squares[to]) == 'k')) return;
    if (Kind(squares[from]) == 'p' && (RankOf(to) == 0 || RankOf(to) == 7)) {
      for (char promotion : {'q', 'r', 'b', 'n'}) pseudo.push_back({from, to, promotion});
    } else {
      pseudo.push_back({from, to, 0});
    }
  };
  for (int from = 0; from < 64; ++from) {
    const char piece = squares[from];
    if (Owner(piece) != us) continue;
    switch (Kind(piece)) {
      case 'p': {
        const int forward = us == 0 ? 1 : -1;
        const int one = from + 8 * forward;
        if (one >= 0 && one < 64 && squares[one] == '.') {
          add(from, one);
          const int two = one + 8 * forward;
          if (RankOf(from) == (us == 0 ? 1 : 6) && squares[two] == '.') add(from, two);
        }
        for (int df : {-1, 1}) {
          const int step[2] = {df, forward};
          const int to = Step(from, step);
          if (to < 0) continue;
          if (Owner(squares[to]) == them) add(from, to);
          // En passant: onto the square the enemy pawn passed, taking it from beside us.
          if (epFile == FileOf(to) + 1 && RankOf(from) == (us == 0 ? 4 : 3) && squares[to] == '.' &&
              squares[ModelSquare(FileOf(to), RankOf(from))] == PieceOf(them, 'p'))
            pseudo.push_back({from, to, 0});
        }
        break;
      }
      case 'n':
      case 'k':
        for (const auto& step : Kind(piece) == 'n' ? kKnightSteps : kKingSteps) {
          const int to = Step(from, step);
          if (to >= 0) add(from, to);
        }
        break;
      default:
        for (int slider = 0; slider < 2; ++slider) {
          if ((slider == 0 && Kind(piece) == 'b') || (slider == 1 && Kind(piece) == 'r')) continue;
          for (const auto& step : slider == 0 ? kRookSteps : kBishopSteps) {
            for (int to = Step(from, step); to >= 0; to = Step(to, step)) {
              add(from, to);
              if (squares[to] != '.') break;
            }
          }
        }
        break;
    }
  }
  // Castling: not out of check, not through or into an attacked square, the squares between empty.
  const int home = us == 0 ? 0 : 56;
  if (!InCheck(us)) {
    if (castle[2 * us] && squares[home + 5] == '.' && squares[home + 6] == '.' && !Attacked(home + 5, them) &&
        !Attacked(home + 6, them))
      pseudo.push_back({home + 4, home + 6, 0});
    if (castle[2 * us + 1] && squares[home + 1] == '.' && squares[home + 2] == '.' &&
        squares[home + 3] == '.' && !Attacked(home + 3, them) && !Attacked(home + 2, them))
      pseudo.push_back({home + 4, home + 2, 0});
  }
  std::vector<ModelMove> legal;
  for (const ModelMove& move : pseudo) {
    ModelPosition next = *this;
    next.Make(move);
    if (!next.InCheck(us)) legal.push_back(move);
  }
  return legal;
}

bool ModelPosition::Make(const ModelMove& move) {
  const char piece = squares[move.from];
  const bool pawn = Kind(piece) == 'p';
  bool irreversible = pawn || squares[move.to] != '.';
  if (pawn && FileOf(move.from) != FileOf(move.to) && squares[move.to] == '.')
    squares[ModelSquare(FileOf(move.to), RankOf(move.from))] = '.';                // en passant
  if (Kind(piece) == 'k' && std::abs(FileOf(move.to) - FileOf(move.from)) == 2) {  // castling: the rook too
    const int rank = RankOf(move.from);
    const bool kingSide = FileOf(move.to) == 6;
    const int rookFrom = ModelSquare(kingSide ? 7 : 0, rank), rookTo = ModelSquare(kingSide ? 5 : 3, rank);
    squares[rookTo] = squares[rookFrom];
    squares[rookFrom] = '.';
  }
  squares[move.to] = move.promotion != 0 ? PieceOf(side, move.promotion) : piece;
  squares[move.from] = '.';
  // A right goes when its king or rook moves or something lands on their squares.
  static constexpr int kRookHome[4] = {7, 0, 63, 56};
  for (int right = 0; right < 4; ++right) {
    const int king = right < 2 ? 4 : 60;
    if (move.from == king || move.to == king || move.from == kRookHome[right] || move.to == kRookHome[right])
      castle[right] = false;
  }
  epFile = pawn && std::abs(RankOf(move.to) - RankOf(move.from)) == 2 ? FileOf(move.to) + 1 : 0;
  side = 1 - side;
  return irreversible;
}

int ModelPosition::PieceMaterial(int colour) const {
  int material = 0;
  for (char piece : squares) {
    if (Owner(piece) != colour) continue;
    switch (Kind(piece)) {
      case 'n':
      case 'b':
        material += 300;
        break;
      case 'r':
        material += 500;
        break;
      case 'q':
        material += 900;
        break;
      default:
        break;
    }
  }
  return material;
}

bool ModelPosition::HasPawns() const {
  for (char piece : squares)
    if (Kind(piece) == 'p') return true;
  return false;
}

uint64_t ModelPerft(const ModelPosition& position, int depth) {
  if (depth == 0) return 1;
  const std::vector<ModelMove> moves = position.LegalMoves();
  if (depth == 1) return moves.size();
  uint64_t leaves = 0;
  for (const ModelMove& move : moves) {
    ModelPosition next = position;
    next.Make(move);
    leaves += ModelPerft(next, depth - 1);
  }
  return leaves;
}

static const char* const kResultText[8] = {
    "",
    "1-0 {White mates}",
    "0-1 {Black mates}",
    "1/2-1/2 {Stalemate}",
    "1/2-1/2 {Draw by the 50 move rule}",
    "1/2-1/2 {Draw by repetition}",
    "1/2-1/2 {Draw by insufficient material}",
    "1/2-1/2 {Draw by too many moves}",
};

void ChessModel::NewGame() {
  position.ReadFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  Reset();
}

void ChessModel::Reset(bool check) {
  moves.clear();
  before.clear();
  identities.assign(1, CurrentIdentity());
  fifty.assign(1, 0);
  lines.clear();
  result = 0;
  gameOver = false;
  if (check) CheckGameState();
}

bool ChessModel::IsLegal(const std::string& text) const {
  for (const ModelMove& move : position.LegalMoves())
    if (move.Text() == text) return true;
  return false;
}

bool ChessModel::Play(const std::string& text) {
  for (const ModelMove& move : position.LegalMoves()) {
    if (move.Text() == text) {
      Play(move);
      return true;
    }
  }
  return false;
}

void ChessModel::Play(const ModelMove& move) {
  before.push_back(position);
  moves.push_back(move);
  const bool irreversible = position.Make(move);
  fifty.push_back(irreversible ? 0 : fifty.back() + 1);
  identities.push_back(CurrentIdentity());
  lines.clear();
  CheckGameState();
}

void ChessModel::TakeBack() {
  if (moves.empty()) return;
  position = before.back();
  before.pop_back();
  moves.pop_back();
  fifty.pop_back();
  identities.pop_back();
  lines.clear();
  CheckGameState();
}

void ChessModel::SetSideToMove(int side) {
  lines.clear();
  gameOver = false;  // whatever ended the game before, this change does not end it again
  if (position.side == side) return;
  position.side = side;
  position.epFile = 0;
  identities.back() = CurrentIdentity();
  if (result == 0) CheckGameState(false);
}

std::string ChessModel::PositionLine() const {
  return position.Fen() + ' ' + std::to_string(fifty.back()) + ' ' + std::to_string(Ply() / 2 + 1);
}

ChessModel::Identity ChessModel::CurrentIdentity() const {
  Identity identity{std::string(position.squares, 64), position.side, "", 0};
  for (int right = 0; right < 4; ++right) identity.castling += position.castle[right] ? '1' : '0';
  if (position.epFile != 0) {
    for (const ModelMove& move : position.LegalMoves()) {
      const char piece = position.squares[move.from];
      if ((piece == 'P' || piece == 'p') && FileOf(move.from) != FileOf(move.to) &&
          position.squares[move.to] == '.')
        identity.epFile = FileOf(move.to) + 1;
    }
  }
  return identity;
}

// Earlier occurrences of the current position by the rules of chess, among the last 500 positions (the
// engine's claim window: only a UCI game, where draws by rule do not end play, gets further).
int ChessModel::RepetitionCount() const {
  const int n = Ply();
  int count = 0;
  for (int p = n - 1; p >= 0 && p >= n - 500; --p)
    if (identities[static_cast<size_t>(p)] == identities[static_cast<size_t>(n)]) ++count;
  return count;
}

bool ChessModel::BishopsOnly() const {
  bool light = false, dark = false;
  for (int square = 0; square < 64; ++square) {
    const char kind = Kind(position.squares[square]);
    if (kind == 'p' || kind == 'n' || kind == 'r' || kind == 'q') return false;
    // a1 is dark: file + rank even (counted from 0) is dark.
    if (kind == 'b') ((FileOf(square) + RankOf(square)) % 2 == 0 ? dark : light) = true;
  }
  return !(light && dark);
}

bool ChessModel::DrawishMaterial() const {
  const int white = position.PieceMaterial(0), black = position.PieceMaterial(1);
  if (position.HasPawns() || white > 600 || black > 600 || white + black <= 300) return false;
  if (white == black) return true;
  for (int colour = 0; colour < 2; ++colour) {
    if ((colour == 0 ? white : black) <= 300) continue;
    for (char piece : position.squares)
      if (piece == PieceOf(colour, 'b') || piece == PieceOf(colour, 'r')) return false;
  }
  return true;
}

void ChessModel::CheckGameState(bool offerDraw) {
  result = 0;
  gameOver = false;
  const int n = Ply();
  if (position.LegalMoves().empty())
    result = position.InCheck(position.side) ? (position.side == 1 ? 1 : 2) : 3;
  if (result == 0 && n >= 1000 && !uciMode) result = 7;  // a UCI game has no move limit
  if (result == 0 && RepetitionCount() >= 2) result = 5;
  if (result == 0 && !position.HasPawns() && position.PieceMaterial(0) + position.PieceMaterial(1) <= 300)
    result = 6;
  if (result == 0 && BishopsOnly()) result = 6;
  if (result == 0 && fifty[n] >= 100) result = 4;
  if (result == 0 && offerDraw && DrawishMaterial() && (fifty[n] == 5 || fifty[n] == 6))
    lines.push_back("offer draw");
  if (result == 0) return;
  lines.push_back(kResultText[result]);
  if (result == 1 || result == 2 || result == 3 || result == 7)
    gameOver = true;
  else if (uciMode)
    result = 0;  // a UCI game goes on after a draw by rule; the GUI decides
}

}  // namespace kelb::test

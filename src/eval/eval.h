// Static evaluation of the Board: one pass that fills an EvalContext with a White and a Black sum,
// then the tempo, threat and material corrections. Pawnless positions and king-and-pawn against king
// are handed to their own scorers.
//
// The term files (pawns, king, pieces, patterns, pawnless) write each side's terms once, for a side
// parameter; Black reads every rule mirrored in rank (rank r seen as 9 - r), with own and enemy
// pieces, maps and pawn file arrays exchanged.
#pragma once
#include <cstdint>

#include "board/board.h"

namespace kelb {

// bishopColours flags.
constexpr int kWhiteDarkBishop = 1;
constexpr int kWhiteLightBishop = 2;
constexpr int kBlackDarkBishop = 4;
constexpr int kBlackLightBishop = 8;

// Pawn facts of one side gathered by the pawn terms.
struct PawnValues {
  int32_t count;         // number of pawns
  int32_t squareSum;     // placement, blended toward the middlegame
  int32_t structureSum;  // support, weakness, doubling, passers; blended toward the endgame
  int32_t bestPassed;    // best passed-pawn score (counts twice)
  int32_t darkCount;     // pawns on dark squares (file + rank even)
  int32_t lightCount;
  int32_t lowFile;   // lowest file holding a pawn of the side (9 if none)
  int32_t highFile;  // highest file (0 if none)
};

// Value of controlling a square, indexed [8 - rank][file - 1]: corners 2, the rest of the edge 3,
// the inner squares 4 (0 off the board).
inline constexpr int8_t kBaseSquareWeights[8][8] = {
    {2, 3, 3, 3, 3, 3, 3, 2},  // 8
    {3, 4, 4, 4, 4, 4, 4, 3},  // 7
    {3, 4, 4, 4, 4, 4, 4, 3},  // 6
    {3, 4, 4, 4, 4, 4, 4, 3},  // 5
    {3, 4, 4, 4, 4, 4, 4, 3},  // 4
    {3, 4, 4, 4, 4, 4, 4, 3},  // 3
    {3, 4, 4, 4, 4, 4, 4, 3},  // 2
    {2, 3, 3, 3, 3, 3, 3, 2},  // 1
};

constexpr SquareArray<int8_t> MakeBaseSquareWeights() {
  SquareArray<int8_t> t{};
  for (int f = 1; f <= 8; f++)
    for (int r = 1; r <= 8; r++) t[SquareAt(f, r)] = kBaseSquareWeights[8 - r][f - 1];
  return t;
}
inline constexpr SquareArray<int8_t> BaseSquareWeights = MakeBaseSquareWeights();

// The part of a castled king's shelter on one wing that reads only the pawns, with the two pawn facts the
// rest of it reads (kept in the pawn-structure cache).
struct WingPawnShelter {
  int16_t value;
  uint8_t knightPawnHome;  // own pawn on the knight file's second rank (no fianchetto bishop counts)
  uint8_t coverPawnsHome;  // own pawns on the edge and knight files' second ranks
};
// knightPawnHome of an entry's wing shelter not worked out yet: each is worked out when first asked.
constexpr uint8_t kWingShelterUnknown = 255;

// The part of the shelter of a king on its home square (e1, e8) that reads only the pawns, with the pawn fact
// the rest of it reads (kept in the pawn-structure cache, worked out when a king that can castle first asks).
struct HomePawnShelter {
  int16_t value;
  uint8_t covered;  // own pawns in front of the king and on both neighbouring files at home
};
constexpr uint8_t kHomeShelterUnknown = 255;  // covered of an entry's shelter not worked out yet

// The sum of the weights on the squares around a king, as the pawn terms leave the maps: read by the king
// activity, kept in the pawn-structure cache for the last square each king asked it for (kings move far less
// often than the pawns are looked up).
struct KingRingWeights {
  int16_t sum;
  uint8_t square;  // 0: not worked out yet
};

// The squares around a king as the piece walks see them: 3 on each once enough pieces are on the board,
// else 0. Read through the square's offset from the king in a fixed table, so no map is built per
// evaluation; the offsets of two real squares never wrap round the 10-wide board.
struct KingZoneTable {
  int8_t row[2][240];  // [zone filled][offset from the king + 120]
};
constexpr KingZoneTable MakeKingZoneTable() {
  KingZoneTable t{};
  for (int step : kingSteps) t.row[1][120 + step] = 3;
  return t;
}
inline constexpr KingZoneTable kKingZoneTable = MakeKingZoneTable();
struct KingZoneView {
  const int8_t* origin;  // the entry of offset 0 shifted back by the king's square
  int operator[](int square) const { return origin[square]; }
};
inline KingZoneView MakeKingZoneView(int kingSquare, bool filled) {
  return KingZoneView{&kKingZoneTable.row[filled][120 - kingSquare]};
}

// The rows of the pawn file arrays (EvalContext::rear).
enum PawnFileRow : int { kWhiteRear, kWhiteRear2, kBlackRear, kBlackRear2 };

// Working record of one evaluation; lives on the stack of Evaluate.
struct EvalContext {
  int32_t whiteScore, blackScore;
  // Value of controlling a square for White's and for Black's pieces, indexed like the board.
  // Signed bytes: the castling-shelter share added on d1/f1 (d8/f8) may be negative.
  SquareArray<int8_t> WhiteSquareWeights, BlackSquareWeights;
  // 3 on the squares around that king once enough pieces are on the board, else 0.
  KingZoneView whiteKingZone, blackKingZone;
  // The pawn file arrays, [kWhiteRear..kBlackRear2][file 0..9]: rank of the lowest and second-lowest white
  // pawn (9 = none), of the highest and second-highest black pawn (0 = none). One block, copied whole from
  // the pawn-structure entry.
  int8_t rear[4][10];
  int32_t whiteAttack, blackAttack;    // attack counts against the enemy king
  int32_t whiteShelter, blackShelter;  // 100 = a safe king
  int32_t whitePieceWeight, blackPieceWeight;
  int32_t whiteThreats, blackThreats;
  int32_t bishopColours;              // kWhiteDarkBishop | ...
  PawnValues pawnValues[2];           // [side]
  int32_t lowPawnFile, highPawnFile;  // over the pawns of both colours
  WingPawnShelter (*wingShelter)[2];  // [side][0 queen side, 1 king side], in the pawn-structure entry
  HomePawnShelter* homeShelter;       // [side], in the pawn-structure entry of the evaluation
  KingRingWeights* kingRing;          // [side], in the pawn-structure entry of the evaluation
};

// Sums after each stage of one evaluation, for the developer tool and the tests.
enum EvalStage : int {
  kStagePawns,
  kStageKings,
  kStagePieces,  // piece terms with material and the piece-weight charge
  kStageKingAttack,
  kStageDevelopment,
  kStagePatterns,
  kStageCount
};
struct EvalTrace {
  bool reached[kStageCount];
  int32_t white[kStageCount], black[kStageCount];
  bool pawnless, kpk;       // returned early through the pawnless scorer or the bitbase
  int32_t sideToMoveScore;  // step 8-9: own + tempo - other, with threats
  int32_t whiteView;        // the same from White's side before the material corrections
  int32_t adjusted;         // after the material corrections (White's side)
  int32_t result;           // what Evaluate returns
};

// Score of the current position for the side that made the last move.
int Evaluate();
// The same, recording the sums after each stage when trace is not null.
int EvaluateTraced(EvalTrace* trace);

// ---- Evaluation stages, in the order Evaluate runs them (exposed for the tests) ----------------------

// King zones (filled when either side has 800 piece material) and cleared counts; the square-weight maps
// and the pawn values are ScorePawns' to set.
void InitEvalContext(EvalContext& e);
// Pawn file arrays and every pawn of both sides; then the blend into the two sums.
void ScorePawns(EvalContext& e);
void BlendPawnScores(EvalContext& e);
// King activity of both sides, then both shelters.
void ScoreKings(EvalContext& e);
// Knights, bishops, rooks and queens of both sides with their material.
void ScorePieces(EvalContext& e);
void ScoreKingAttack(EvalContext& e);
void ScoreDevelopment(EvalContext& e);
void ScorePiecePatterns(EvalContext& e);
// Material corrections on a score t from White's side.
int AdjustForMaterial(const EvalContext& e, int t);

// The pawn part of the castled shelter of `side` on a wing (0 queen side, 1 king side); e holds the file
// arrays.
WingPawnShelter WingShelterFromPawns(const EvalContext& e, int side, int wing);
// The pawn part of KingShelter on the home square of `side`'s king; e holds the file arrays.
HomePawnShelter HomeShelterFromPawns(const EvalContext& e, int side);
// Shelter of a king of `side` on `square`, and of the castled positions on either wing.
int KingShelter(const EvalContext& e, int side, int square);
int QueensideShelter(const EvalContext& e, int side);
int KingsideShelter(const EvalContext& e, int side);

// The pawn-structure cache behind ScorePawns: emptied (tests), and the slot the current pawns use.
void ClearPawnCache();
uint32_t PawnCacheSlot();

// Positions without pawns; same sign convention as Evaluate.
int EvaluatePawnless();

// ---- Helpers shared by the term files ----------------------------------------------------------------

// King centralisation by square; ranks mirror, files mirror.
extern const int8_t kKingCentreTable[8][8];
inline int KingCentre(int square) { return kKingCentreTable[rankOf[square] - 1][fileOf[square] - 1]; }

// Rank seen from `side` (Black reads 9 - rank), and the square of a file and such a rank.
inline int RelativeRank(int side, int rank) { return side == kWhite ? rank : 9 - rank; }
inline int RelativeSquare(int side, int file, int rank) {
  return 10 * file + (side == kWhite ? rank : 9 - rank);
}

// Pawn file arrays seen from `side`: rank of its rearmost pawn on the file (9 = none), and of the
// enemy's rearmost pawn (0 = none), both as ranks relative to `side`.
inline int OwnRear(const EvalContext& e, int side, int file) {
  return side == kWhite ? e.rear[kWhiteRear][file] : 9 - e.rear[kBlackRear][file];
}
inline int OwnRear2(const EvalContext& e, int side, int file) {
  return side == kWhite ? e.rear[kWhiteRear2][file] : 9 - e.rear[kBlackRear2][file];
}
inline int EnemyRear(const EvalContext& e, int side, int file) {
  return side == kWhite ? e.rear[kBlackRear][file] : 9 - e.rear[kWhiteRear][file];
}
inline int EnemyRear2(const EvalContext& e, int side, int file) {
  return side == kWhite ? e.rear[kBlackRear2][file] : 9 - e.rear[kWhiteRear2][file];
}

inline int32_t& ScoreOf(EvalContext& e, int side) { return side == kWhite ? e.whiteScore : e.blackScore; }
inline int32_t& AttackOf(EvalContext& e, int side) { return side == kWhite ? e.whiteAttack : e.blackAttack; }
inline int32_t& ThreatsOf(EvalContext& e, int side) {
  return side == kWhite ? e.whiteThreats : e.blackThreats;
}
inline int32_t& ShelterOf(EvalContext& e, int side) {
  return side == kWhite ? e.whiteShelter : e.blackShelter;
}
inline int32_t& PieceWeightOf(EvalContext& e, int side) {
  return side == kWhite ? e.whitePieceWeight : e.blackPieceWeight;
}
inline SquareArray<int8_t>& WeightsOf(EvalContext& e, int side) {
  return side == kWhite ? e.WhiteSquareWeights : e.BlackSquareWeights;
}
inline const SquareArray<int8_t>& WeightsOf(const EvalContext& e, int side) {
  return side == kWhite ? e.WhiteSquareWeights : e.BlackSquareWeights;
}
inline KingZoneView KingZoneOf(const EvalContext& e, int side) {
  return side == kWhite ? e.whiteKingZone : e.blackKingZone;
}

// Piece code of `side`'s piece of `kind` (kPawn..kKing).
inline int Own(int side, int kind) { return PieceCode(side, kind); }
inline int Enemy(int side, int kind) { return PieceCode(1 - side, kind); }

}  // namespace kelb

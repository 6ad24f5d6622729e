// The evaluation driver: maps, stages, tempo and threats, and the material corrections.
#include "eval/eval.h"

#include "eval/lkpk.h"

namespace kelb {

void InitEvalContext(EvalContext& e) {
  e.whiteScore = e.blackScore = 0;
  const bool zones = Board.pieceMaterial[kWhite] >= 800 || Board.pieceMaterial[kBlack] >= 800;
  e.whiteKingZone = MakeKingZoneView(Board.king[kWhite], zones);
  e.blackKingZone = MakeKingZoneView(Board.king[kBlack], zones);
  e.whiteAttack = e.blackAttack = 0;
  e.whiteThreats = e.blackThreats = 0;
  e.whiteShelter = e.blackShelter = 100;
  e.whitePieceWeight = e.blackPieceWeight = 0;
  e.bishopColours = 0;
  e.lowPawnFile = 9;
  e.highPawnFile = 0;
}

// The single pawn of a side with exactly one pawn.
static int OnlyPawn(int side) {
  for (int i = 1; i <= kMaxPawnSlots; i++)
    if (Board.pawns[side][i] != 0) return Board.pawns[side][i];
  return 0;
}

// A rook pawn whose promotion square the defending king holds, without a bishop that controls it.
static bool WrongRookPawn(const EvalContext& e, int side) {
  const int enemy = 1 - side;
  const int pawn = OnlyPawn(side);
  const int pf = fileOf[pawn];
  if (pf != 1 && pf != 8) return false;
  const int k = Board.king[enemy];
  const int kf = fileOf[k], kr = RelativeRank(side, rankOf[k]);
  const int nearFile = pf == 1 ? 2 : 7;
  if (!((kf == pf || kf == nearFile) && kr >= 7)) return false;
  if (Board.pieceMaterial[side] == 0) return true;
  if (e.bishopColours == 0 && pawn == RelativeSquare(side, pf, 7) && Board.pawnMaterial[enemy] == 0 &&
      Board.pieceMaterial[enemy] == 0)
    return true;
  // The promotion square is light for White's a-pawn and Black's h-pawn, dark otherwise.
  const int ownFlags = e.bishopColours & (side == kWhite ? kWhiteDarkBishop | kWhiteLightBishop
                                                         : kBlackDarkBishop | kBlackLightBishop);
  const bool cornerLight = (pf + (side == kWhite ? 8 : 1)) % 2 != 0;
  int wrong;
  if (side == kWhite)
    wrong = cornerLight ? kWhiteDarkBishop : kWhiteLightBishop;
  else
    wrong = cornerLight ? kBlackDarkBishop : kBlackLightBishop;
  return ownFlags == wrong;
}

// 5. Bishops of opposite colours and nothing else; pieces is the piece material of both sides.
static inline int OppositeBishops(const EvalContext& e, int pieces, int t) {
  if ((e.bishopColours == (kWhiteDarkBishop | kBlackLightBishop) ||
       e.bishopColours == (kWhiteLightBishop | kBlackDarkBishop)) &&
      pieces == 600) {
    if (t >= -9000 && t <= -200)
      t += 100;
    else if (t >= 200 && t <= 9000)
      t -= 100;
    else
      t = t / 2;
  }
  return t;
}

int AdjustForMaterial(const EvalContext& e, int t) {
  const int wp = Board.pawnMaterial[kWhite], bp = Board.pawnMaterial[kBlack];
  const int wn = Board.pieceMaterial[kWhite], bn = Board.pieceMaterial[kBlack];

  // 1. Material balance, counted more as pieces come off.
  int d = (wp + wn) - (bp + bn);
  if (d > 300) d = 300;
  if (d < -300) d = -300;
  t += ((6200 - (wn + bn)) * d) / 10000;

  // Steps 2 to 4 ask for a side with no pawn or a single one: with more on both sides only 5 can apply.
  if (wp > 100 && bp > 100) return OppositeBishops(e, wn + bn, t);

  // 2. A lone minor without pawns cannot win.
  if (wp == 0 && wn == 300 && t > -30) t = t / 10 - 27;
  if (bp == 0 && bn == 300 && t < 30) t = t / 10 + 27;

  // 3. Pieces without pawns win less easily.
  if (wp == 0 && wn > 300) {
    if (t >= 1 && t <= 160) {
      t = t / 2;
    } else if (t >= 161 && t <= 32766) {
      if (wn == 600 && (e.bishopColours & (kWhiteDarkBishop | kWhiteLightBishop)) == 0)
        t = t / 2;
      else
        t -= 80;
    }
  }
  if (bp == 0 && bn > 300) {
    if (t >= -32766 && t <= -161) {
      if (bn == 600 && (e.bishopColours & (kBlackDarkBishop | kBlackLightBishop)) == 0)
        t = t / 2;
      else
        t += 80;
    } else if (t >= -160 && t <= -1) {
      t = t / 2;
    }
  }

  // 4. Rook pawn with the wrong bishop, or none.
  if (wp == 100 && wn <= 300 && t > 0 && WrongRookPawn(e, kWhite)) t = t / 50;
  if (bp == 100 && bn <= 300 && t < 0 && WrongRookPawn(e, kBlack)) t = t / 50;

  return OppositeBishops(e, wn + bn, t);
}

// The search evaluates untraced: the traced bookkeeping is compiled out of that copy.
template <bool traced>
static inline void Record(EvalTrace* trace, int stage, const EvalContext& e) {
  if (!traced) return;
  trace->reached[stage] = true;
  trace->white[stage] = e.whiteScore;
  trace->black[stage] = e.blackScore;
}

template <bool traced>
static int EvaluateWith(EvalTrace* trace) {
  if (traced) *trace = EvalTrace{};
  if (Board.pawnMaterial[kWhite] == 0 && Board.pawnMaterial[kBlack] == 0) {
    int v = EvaluatePawnless();
    if (traced) {
      trace->pawnless = true;
      trace->result = v;
    }
    return v;
  }
  if (kpkReady && Board.pawnMaterial[kWhite] + Board.pawnMaterial[kBlack] + Board.pieceMaterial[kWhite] +
                          Board.pieceMaterial[kBlack] ==
                      100) {
    int v = -ProbeKpk();
    if (traced) {
      trace->kpk = true;
      trace->result = v;
    }
    return v;
  }

  EvalContext e;
  InitEvalContext(e);
  ScorePawns(e);
  BlendPawnScores(e);
  Record<traced>(trace, kStagePawns, e);
  ScoreKings(e);
  Record<traced>(trace, kStageKings, e);

  if (Board.pieceMaterial[kWhite] + Board.pieceMaterial[kBlack] > 0) {
    e.bishopColours = 0;
    e.whitePieceWeight = e.blackPieceWeight = 0;
    ScorePieces(e);
    e.whiteScore -= (e.whitePieceWeight * e.blackShelter) / 100;
    e.blackScore -= (e.blackPieceWeight * e.whiteShelter) / 100;
    Record<traced>(trace, kStagePieces, e);
    ScoreKingAttack(e);
    Record<traced>(trace, kStageKingAttack, e);
    ScoreDevelopment(e);
    Record<traced>(trace, kStageDevelopment, e);
    ScorePiecePatterns(e);
    Record<traced>(trace, kStagePatterns, e);
  }

  const int us = Board.side, them = 1 - us;
  int s = ScoreOf(e, us) + 13 - ScoreOf(e, them);
  const int ownThreats = ThreatsOf(e, us), otherThreats = ThreatsOf(e, them);
  if (ownThreats == 1)
    s += 8;
  else if (ownThreats >= 2)
    s += 80;
  if (otherThreats == 1)
    s -= 8;
  else if (otherThreats >= 2)
    s -= 150;

  int t = us == kWhite ? s : -s;
  const int adjusted = AdjustForMaterial(e, t);
  const int score = us == kWhite ? -adjusted : adjusted;
  if (traced) {
    trace->sideToMoveScore = s;
    trace->whiteView = t;
    trace->adjusted = adjusted;
    trace->result = score;
  }
  return score;
}

int EvaluateTraced(EvalTrace* trace) { return trace != nullptr ? EvaluateWith<true>(trace) : Evaluate(); }

int Evaluate() { return EvaluateWith<false>(nullptr); }

}  // namespace kelb

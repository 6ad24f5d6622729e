// Whether a square is attacked by a side, recording where the attack comes from for check evasion.
#pragma once

namespace kelb {

// True when a piece of bySide attacks the square (its own content is not looked at). On a hit it records the
// attacker in attackerSquare[ply] and, for a slider, the step towards it in attackDirection[ply] (0 for
// pawns, knights and the king; a king hit leaves attackerSquare[ply] as it was).
bool IsAttacked(int square, int bySide);

}  // namespace kelb

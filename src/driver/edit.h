// WinBoard's "edit" dialogue: the GUI places pieces square by square and ends with ".".
#pragma once

namespace kelb {

// Reads the dialogue's lines until "." and sets up the result: castling where king and rook stand at home, no
// en-passant right; an illegal set-up halts the engine with "tellusererror illegal position".
void EditPosition();

}  // namespace kelb

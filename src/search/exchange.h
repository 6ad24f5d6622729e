// The static exchange test of the quiescence search: does a capture lose material if both sides go on
// taking on the square, each with its cheapest piece, and each free to stop when going on would cost it?
#pragma once
#include <cstdint>

namespace kelb {

// Piece values for the exchange test by piece code 0..12 (the king outweighs everything).
inline constexpr int32_t exchangeValue[13] = {0,   100, 300, 300, 500, 900,  10000,
                                              100, 300, 300, 500, 900, 10000};

// True when the capture from -> to by the side to move loses material by static exchange.
bool BadCapture(int from, int to);

}  // namespace kelb

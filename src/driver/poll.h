// Input while the engine thinks: answers what must be answered at once and decides whether a line stops the
// search. Called by the search every pollInterval nodes.
#pragma once

namespace kelb {

void PollInput();

}  // namespace kelb

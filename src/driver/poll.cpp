#include "driver/poll.h"

namespace kelb {

void PollInput() {}

}  // namespace kelb

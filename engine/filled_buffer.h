#pragma once

#include "platform/wave_input.h"

namespace sonocap {

// Stores the buffer that has just come back (from the ring, at ringIndex), advances the ring
// and the counters and queues the buffer again. Ignored once a write has failed.
void ProcessFilledBuffer(platform::WaveHeader* header);

}  // namespace sonocap

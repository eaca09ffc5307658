#pragma once

#include <cstdint>

#include "engine/capture_session.h"

// The one wording of every result of the engine: what StartRecording returned, and why a
// recording ended by itself. The window, the log and the tests share it.

namespace sonocap {

// "the file could not be created" and the like, lower case, without a full stop.
const char* StartResultText(StartResult result);
const char* EndReasonText(EndReason reason);

}  // namespace sonocap

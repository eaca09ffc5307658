#include "engine/recorder_flags.h"

namespace sonocap {

int32_t paused = 0;
platform::WindowHandle ownerWindow = platform::kNoWindow;
int32_t closingRequested = 0;

}  // namespace sonocap

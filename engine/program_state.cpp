#include "engine/program_state.h"

#include "engine/aligned_pool.h"

namespace sonocap {

CaptureSession captureSession;
int32_t paused = 0;
int32_t recording = 0;
int32_t busy = 0;
platform::WindowHandle ownerWindow = platform::kNoWindow;
int32_t closingRequested = 0;
std::string takeRecordFolder;

void ResetProgramState() {
    ResetProgramValues();
    captureSession = CaptureSession{};
    paused = 0;
    recording = 0;
    busy = 0;
    ownerWindow = platform::kNoWindow;
    closingRequested = 0;
    takeRecordFolder.clear();
    ResetPool();
}

}  // namespace sonocap

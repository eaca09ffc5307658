#include "engine/recording_results.h"

#include "engine/capture_session.h"

namespace sonocap {

const char* RecordingResultText(int32_t result) {
    switch (result) {
        case kRecordingStarted:
            return "recording started";
        case kRecordingCancelled:
            return "no file was chosen";
        case kDeviceNotOpened:
            return "the input device could not be opened";
        case kNoMemoryForBuffers:
            return "there is not enough memory for the capture buffers";
        case kPathTooLong:
            return "the file's path is too long (259 bytes at most)";
        case kFileNotCreated:
            return "the file could not be created";
        case kFileInUse:
            return "another copy of Sonocap is recording into this file";
        case kHeaderNotWritten:
            return "the file's header could not be written";
        case kWriteFailed:
            return "the file could not be written";
        case kOverrunStop:
            return "the recording fell a whole ring of buffers behind the input (overrun)";
        case kDeviceStopped:
            return "the input device stopped delivering audio";
        case kFileSizeLimit:
            return "the file reached the largest size its header can describe";
        case kInputLost:
            return "the input was lost";
        case kInputNeverStarted:
            return "the input did not start delivering audio";
        default:
            return "unknown result";
    }
}

}  // namespace sonocap

#include "engine/recording_results.h"

#include "engine/capture_session.h"

namespace sonocap {

const char* StartResultText(StartResult result) {
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
            return "another program holds this file locked (another copy of Sonocap recording "
                   "into it?)";
        case kHeaderNotWritten:
            return "the file's header could not be written";
    }
    return "unknown result";
}

const char* EndReasonText(EndReason reason) {
    switch (reason) {
        case kNoEndReason:
            return "the recording was stopped";
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
    }
    return "unknown reason";
}

}  // namespace sonocap

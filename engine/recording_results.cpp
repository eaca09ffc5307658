#include "engine/recording_results.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>

#include "codec/duration_text.h"
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

namespace {

// What a failed create or write means to the user, by the system's error number; nullptr for
// an error that has no plainer words than the result's own.
const char* FileErrorForUser(int systemError) {
    switch (systemError) {
        case ENOSPC:
            return "the disk is full";
        case EDQUOT:
            return "your disk quota is used up";
        case EROFS:
            return "the disk is read-only";
        case EACCES:
        case EPERM:
            return "you may not write there";
        case ENOENT:
        case ENOTDIR:
            return "the folder is not there any more";
        case EISDIR:
            return "that name belongs to a folder";
        case EFBIG:
            return "the file is as large as that disk allows";
        case EIO:
            return "the disk reported an error";
        default:
            return nullptr;
    }
}

struct PlainText {
    int32_t result;
    const char* text;
};

// Start refusals and end reasons in the user's words; a file error's own words come first.
constexpr PlainText kStartRefusals[] = {
    {kDeviceNotOpened, "the input could not be opened"},
    {kNoMemoryForBuffers, "there is not enough memory"},
    {kPathTooLong, "the file's name and folder are too long"},
    {kFileNotCreated, "the file could not be created"},
    {kFileInUse, "another copy of Sonocap is recording into this file"},
    {kHeaderNotWritten, "the file could not be written"},
};
constexpr PlainText kEndReasons[] = {
    {kWriteFailed, "the file could not be written"},
    {kOverrunStop, "the computer could not keep up with the input"},
    {kDeviceStopped, "the input stopped sending sound"},
    {kFileSizeLimit, "the file is as long as its format allows"},
    {kInputLost, "the input was lost"},
    {kInputNeverStarted, "the input sent no sound"},
};

template <std::size_t N>
std::string Cause(const PlainText (&table)[N], int32_t result, int systemError,
                  const std::string& detail) {
    if (const char* words = FileErrorForUser(systemError)) return words;
    // The devices give their reasons in the user's words already.
    if (!detail.empty() && (result == kDeviceNotOpened || result == kInputLost)) return detail;
    for (const PlainText& row : table) {
        if (row.result == result) return row.text;
    }
    return "something went wrong";
}

}  // namespace

std::string StartRefusalForUser(StartResult result, int systemError, const std::string& detail) {
    return "Not recorded: " + Cause(kStartRefusals, result, systemError, detail) + ".";
}

std::string EndForUser(EndReason reason, int systemError, const std::string& detail,
                       int64_t storedFrames) {
    const std::string cause = Cause(kEndReasons, reason, systemError, detail);
    if (storedFrames <= 0) return "Stopped: " + cause + ". The file holds no sound.";
    return "Stopped after " + ShownTakeTime(storedFrames) + ": " + cause +
           ". Everything up to then is saved.";
}

std::string InputLossForUser(int64_t events, int64_t frames) {
    if (events <= 0) return "";
    std::string text = "Input was lost ";
    text += events == 1 ? "once" : events == 2 ? "twice" : std::to_string(events) + " times";
    if (frames > 0) {
        const uint64_t tenths = RoundedTimeUnits(static_cast<uint64_t>(frames), 10);
        char amount[48];
        if (tenths == 0) {
            std::snprintf(amount, sizeof amount, " (under 0.1 s%s)", events > 1 ? " in all" : "");
        } else {
            std::snprintf(amount, sizeof amount, " (%" PRIu64 ".%" PRIu64 " s%s)", tenths / 10,
                          tenths % 10, events > 1 ? " in all" : "");
        }
        text += amount;
    }
    return text + ".";
}

std::string ShownTakeTime(int64_t frames) {
    const uint64_t tenths = RoundedTimeUnits(static_cast<uint64_t>(frames < 0 ? 0 : frames), 10);
    const uint64_t seconds = tenths / 10;
    char text[48];
    if (seconds >= 3600) {
        std::snprintf(text, sizeof text, "%" PRIu64 ":%02" PRIu64 ":%02" PRIu64 ".%" PRIu64,
                      seconds / 3600, seconds / 60 % 60, seconds % 60, tenths % 10);
    } else {
        std::snprintf(text, sizeof text, "%" PRIu64 ":%02" PRIu64 ".%" PRIu64, seconds / 60,
                      seconds % 60, tenths % 10);
    }
    return text;
}

}  // namespace sonocap

#include "engine/recording_log.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "codec/duration_text.h"
#include "codec/wave_header.h"
#include "engine/capture_session.h"
#include "engine/program_state.h"
#include "engine/recording_results.h"
#include "platform/event_log.h"
#include "settings/parameter_record.h"

namespace sonocap {

namespace {

void WriteLine(const std::string& text) {
    LogAbout(captureSession.filePath, text);
}

}  // namespace

void LogAbout(const std::string& path, const std::string& text) {
    std::string line = "sonocap: ";
    if (!path.empty()) line += path + ": ";
    platform::Current<platform::EventLog>().Write(line + text);
}

std::string SystemErrorText(int error) {
    return error != 0 ? std::strerror(error) : "";
}

void NoteFileError(int systemError) {
    captureSession.failureError = systemError;
    captureSession.failureDetail = SystemErrorText(systemError);
}

std::string TakeTimeText(int64_t frames) {
    const auto tenths = static_cast<int64_t>(
        RoundedTimeUnits(static_cast<uint64_t>(std::max<int64_t>(frames, 0)), 10));
    char text[48];
    std::snprintf(text, sizeof text, "%" PRId64 ":%02d:%02d.%d", tenths / 36000,
                  static_cast<int>(tenths / 600 % 60), static_cast<int>(tenths / 10 % 60),
                  static_cast<int>(tenths % 10));
    return text;
}

namespace {

std::string WithDetail(std::string text) {
    if (!captureSession.failureDetail.empty()) text += ": " + captureSession.failureDetail;
    return text;
}

}  // namespace

std::string ResultWithDetail(StartResult result) {
    return WithDetail(StartResultText(result));
}

std::string ResultWithDetail(EndReason reason) {
    return WithDetail(EndReasonText(reason));
}

int64_t StoredFrames() {
    return captureSession.dataBytes / kBytesPerFrame;
}

std::string StopReport() {
    const CaptureSession& s = captureSession;
    // The time is the file's, not the device's: a failed write stores less than was captured.
    std::string text = "recording stopped after " + TakeTimeText(StoredFrames()) + " (" +
                       std::to_string(StoredFrames()) + " frames stored of " +
                       std::to_string(s.capturedFrames) + " captured)";
    if (s.endReason != kNoEndReason) {
        text += ": " + ResultWithDetail(s.endReason) + "; the file holds everything up to then";
    }
    return text;
}

std::string StopReportForUser() {
    const CaptureSession& s = captureSession;
    std::string told;
    if (s.endReason != kNoEndReason) {
        told = EndForUser(s.endReason, s.failureError, s.failureDetail, StoredFrames());
    }
    // Input lost in the middle of a take spoils it without ending it: told after it as well.
    const std::string lost = InputLossForUser(s.lossesReported.events, s.lossesReported.frames);
    if (!lost.empty()) told += (told.empty() ? "" : " ") + lost;
    return told;
}

void LogRecordingStarted() {
    WriteLine(std::string("recording started (") +
              (parameterRecord.compression != 0 ? "Compaxa" : "WAV") +
              (parameterRecord.dcFilter != 0 ? ", DC filter)" : ")"));
}

void LogStartFailure(StartResult result) {
    const CaptureSession& s = captureSession;
    LogAbout(result == kPathTooLong ? s.refusedPath : std::string(s.filePath),
             "recording not started: " + ResultWithDetail(result));
}

void LogRecordingStopped() {
    WriteLine(StopReport());
}

void LogFileFailure(const std::string& what, int systemError) {
    WriteLine(what + (systemError != 0 ? ": " + SystemErrorText(systemError) : ""));
}

void ReportInputLoss() {
    CaptureSession& s = captureSession;
    if (s.device == nullptr) return;
    const platform::InputLoss now = s.device->Losses();
    const int64_t events = now.events - s.lossesReported.events;
    if (events <= 0) return;
    const int64_t frames = now.frames - s.lossesReported.frames;
    s.lossesReported = now;
    std::string text = "input lost ";
    if (events > 1) text += std::to_string(events) + " times, the last ";
    text += "at " + TakeTimeText(now.atFrame);
    if (frames > 0) {
        text += " (about " + std::to_string(frames * 1000 / kSampleRate) + " ms" +
                (events > 1 ? " in all)" : ")");
    } else {
        text += " (length unknown)";
    }
    WriteLine(text);
}

}  // namespace sonocap

#include "engine/capture_session.h"

#include <algorithm>

#include "codec/compressed_header.h"
#include "codec/wave_header.h"
#include "engine/aligned_pool.h"
#include "engine/filled_buffer.h"
#include "engine/peak_meter.h"
#include "engine/program_state.h"
#include "engine/recording_buffers.h"
#include "engine/recording_file_choice.h"
#include "engine/recording_log.h"
#include "engine/take_file.h"
#include "engine/take_record.h"
#include "platform/message_sink.h"
#include "settings/parameter_record.h"

namespace sonocap {

namespace {

// What a failed start leaves behind: a line in the log, the reason for the window.
StartResult StartFailed(StartResult result) {
    LogStartFailure(result);
    return result;
}

// The header a file starts with: sizes 0 (a Compaxa file's placeholder says that it was
// never finished), rewritten behind every stored buffer.
bool WriteProvisionalHeader() {
    platform::FileIo& files = platform::Current<platform::FileIo>();
    if (parameterRecord.compression != 0) {
        uint8_t header[kCompressedHeaderBytes];
        buildCompressedPlaceholder(header);
        return files.Write(captureSession.file, header, sizeof header) == sizeof header;
    }
    uint8_t header[kWaveHeaderBytes];
    buildWaveHeader(0, kSampleRate, kChannels, header);
    return files.Write(captureSession.file, header, sizeof header) == sizeof header;
}

// Stores the buffers that came back before the stop, the one cut short by it last, in ring
// order, the way their notifications would have been processed.
void StoreReturnedBuffers() {
    CaptureSession& s = captureSession;
    for (int32_t i = 0; i < kBuffersInRing && s.failed == 0; ++i) {
        platform::WaveHeader* header = s.headers[s.ringIndex / kFramesPerBuffer];
        // Buffers that a reset returned empty were never filled and hold nothing to store.
        const bool returned = (header->dwFlags & platform::kWaveHeaderDone) != 0 &&
                              (header->dwFlags & platform::kWaveHeaderInQueue) == 0 &&
                              header->dwBytesRecorded > 0;
        if (!returned) break;
        const int32_t before = s.ringIndex;
        ProcessFilledBuffer(header);
        if (s.ringIndex == before) break;
    }
}

void CloseRecordingFile() {
    platform::Current<platform::FileIo>().Close(captureSession.file);
    captureSession.file = platform::kNoFile;
}

void CloseCallbackWindow() {
    platform::Current<platform::WindowSystem>().SendMessage(captureSession.callbackWindow,
                                                            platform::kWmClose, 0, 0);
    captureSession.callbackWindow = platform::kNoWindow;
}

// Gives back whatever a start has taken when it does not get to the end: the notification
// window, the pool blocks and the file. A file this start created is removed; an existing one
// the user agreed to replace stays, and the log says what it holds now.
class StartUndo {
  public:
    StartUndo() = default;
    StartUndo(const StartUndo&) = delete;
    StartUndo& operator=(const StartUndo&) = delete;
    ~StartUndo() {
        if (kept_) return;
        CaptureSession& s = captureSession;
        if (s.file != platform::kNoFile) {
            platform::FileIo& files = platform::Current<platform::FileIo>();
            // Removed while it is still open and locked: nobody else can have taken the name.
            if (created_ && !files.Remove(s.filePath)) {
                LogFileFailure("the file of the take that did not start could not be removed",
                               files.LastError());
            } else if (emptied_) {
                LogFileFailure("the file was emptied for a take that did not start: it now holds " +
                                   std::to_string(std::max<int64_t>(files.Length(s.file), 0)) +
                                   " bytes, no sound",
                               0);
            }
            CloseRecordingFile();
        }
        if (s.callbackWindow != platform::kNoWindow) CloseCallbackWindow();
        FreeRecordingBuffers();
    }
    void Keep() { kept_ = true; }
    void Created() { created_ = true; }
    void Emptied() { emptied_ = true; }

  private:
    bool kept_ = false;
    bool created_ = false;
    bool emptied_ = false;
};

// Everything a take counts starts from nothing; the peaks shown keep their values.
void ResetTakeCounters() {
    CaptureSession& s = captureSession;
    s.ringIndex = 0;
    s.bytesWritten = 0;
    s.dataBytes = 0;
    s.totalFrames = 0;
    s.meterReadIndex = 0;
    s.peakHoldLeft = 0;
    s.peakHoldRight = 0;
    s.failed = 0;
    s.stopRequested = 0;
    s.endReason = kNoEndReason;
    s.capturedFrames = 0;
    s.lossesReported = platform::InputLoss{};
    s.watchedFrames = -1;
    s.buffersSinceSync = 0;
    s.writeBackFrom = 0;
    s.headerFollowFailed = false;
    s.dcStateLeft = 0.0;
    s.dcStateRight = 0.0;
}

// A file system without locks is recorded on unlocked, and told once a run.
void NoteUnlockedFile(int lockFailure) {
    if (lockFailure == 0 || captureSession.toldNoLock) return;
    captureSession.toldNoLock = true;
    LogFileFailure(
        "the file system cannot lock files, so the file is recorded without a lock "
        "(another program could write it at the same time)",
        lockFailure);
}

constexpr char kOverwriteTitle[] = " Sonocap: File exist";
constexpr char kOverwriteText[] = " File exist, do you want to overwrite it ? \n";

// Asks until the user has a file that is new or may be overwritten: kRecordingStarted, or why
// not. An existing file is opened and locked before the question, so that one another copy
// records or one that cannot be written is refused without asking, and nobody takes it while
// the user answers; it stays open in captureSession.file, as it is.
StartResult ChooseNewOrReplaceableFile() {
    CaptureSession& s = captureSession;
    platform::FileIo& files = platform::Current<platform::FileIo>();
    for (;;) {
        const int32_t chosen = ChooseRecordingFile();
        if (closingRequested != 0) return kRecordingCancelled;
        if (chosen == kPathTooLong) return kPathTooLong;
        if (chosen == 0) return kRecordingCancelled;
        if (!files.Exists(s.filePath)) return kRecordingStarted;
        s.file = files.OpenForUpdate(s.filePath);
        if (s.file == platform::kNoFile) {
            if (files.LastError() == platform::kFileLockedError) return kFileInUse;
            NoteFileError(files.LastError());
            return kFileNotCreated;
        }
        NoteUnlockedFile(files.LockFailure());
        platform::MessageRequest question;
        question.title = kOverwriteTitle;
        question.text = kOverwriteText;
        question.buttons = platform::MessageButtons::OkCancel;
        const platform::MessageAnswer answer =
            platform::Current<platform::MessageSink>().ShowMessage(question);
        if (closingRequested == 0 && answer == platform::MessageAnswer::Ok) {
            return kRecordingStarted;
        }
        CloseRecordingFile();
        if (closingRequested != 0) return kRecordingCancelled;
    }
}

}  // namespace

StartResult StartRecording() {
    CaptureSession& s = captureSession;
    s.failureDetail.clear();
    s.failureError = 0;
    StartUndo undo;
    const StartResult chosen = ChooseNewOrReplaceableFile();
    if (chosen == kRecordingCancelled) return kRecordingCancelled;
    if (chosen != kRecordingStarted) return StartFailed(chosen);

    platform::FileIo& files = platform::Current<platform::FileIo>();
    if (s.file != platform::kNoFile) {
        if (!files.Truncate(s.file, 0)) {
            NoteFileError(files.LastError());
            return StartFailed(kFileNotCreated);
        }
        undo.Emptied();
    } else {
        s.file = files.CreateForWriting(s.filePath);
        if (s.file == platform::kNoFile) {
            if (files.LastError() == platform::kFileLockedError) return StartFailed(kFileInUse);
            NoteFileError(files.LastError());
            return StartFailed(kFileNotCreated);
        }
        undo.Created();
        NoteUnlockedFile(files.LockFailure());
    }
    s.driveRoot = DirectoryOfPath(s.filePath);

    if (!WriteProvisionalHeader()) {
        NoteFileError(files.LastError());
        return StartFailed(kHeaderNotWritten);
    }
    // The new name is durable once, the data every few seconds from here on.
    files.RequestDirectorySync(s.driveRoot);

    try {
        AllocateRecordingBuffers();
    } catch (const PoolOutOfMemory&) {
        return StartFailed(kNoMemoryForBuffers);
    }
    s.ring = s.buffers[0];
    ZeroSamples(s.ring, kRingSamples);

    CreateCallbackWindow();
    if (OpenWaveInput() != platform::kWaveOk) {
        s.failureDetail = platform::Current<platform::WaveInput>().OpenFailure();
        if (s.failureDetail.empty()) s.failureDetail = "the device refused to open";
        return StartFailed(kDeviceNotOpened);
    }

    for (int32_t i = 0; i < kBuffersInRing; ++i) {
        platform::WaveHeader& header = *s.headers[i];
        header = platform::WaveHeader{};
        header.lpData = reinterpret_cast<char*>(s.buffers[i]);
        header.dwBufferLength = kBytesPerBuffer;
        header.dwLoops = 1;
    }
    for (int32_t i = 0; i < kBuffersInRing; ++i) {
        s.device->PrepareHeader(s.headers[i]);
        s.device->AddBuffer(s.headers[i]);
    }

    ResetTakeCounters();
    OpenTakeRecord();
    undo.Keep();
    if (paused == 0) s.device->Start();
    LogRecordingStarted();
    return kRecordingStarted;
}

void PauseCapture() {
    paused = 1;
    if (recording != 0) captureSession.device->Stop();
}

void ResumeCapture() {
    paused = 0;
    if (recording != 0) captureSession.device->Start();
}

void StopRecording() {
    CaptureSession& s = captureSession;
    if (s.device == nullptr) return;
    // Everything captured up to now is stored, through the path a pause takes; the
    // notifications of the returned buffers die with the window below. A device that has
    // gone is reset instead: stopping would wait for input that never comes.
    if (s.endReason == kDeviceStopped || s.endReason == kInputLost ||
        s.endReason == kInputNeverStarted) {
        s.device->Reset();
    } else {
        s.device->Stop();
    }
    StoreReturnedBuffers();
    s.capturedFrames = s.device->Position();
    ReportInputLoss();
    s.device->Reset();
    for (int32_t i = 0; i < kBuffersInRing; ++i) s.device->UnprepareHeader(s.headers[i]);
    s.device->Close();
    s.device = nullptr;

    platform::FileIo& files = platform::Current<platform::FileIo>();
    // A failed write may have left part of a record or frame behind what the header counts.
    if (s.failed != 0 && !files.Truncate(s.file, HeaderBytes() + s.bytesWritten)) {
        LogFileFailure("the torn end of the file could not be cut off", files.LastError());
    }
    if (!WriteHeaderForCounters()) {
        LogFileFailure("the final header could not be written", files.LastError());
    }
    // The stop is told only once the take is on the disk.
    const bool durable = MakeTakeDurable();
    CloseCallbackWindow();
    if (!files.Close(s.file)) {
        LogFileFailure("closing the file failed", files.LastError());
    }
    s.file = platform::kNoFile;
    // A take that may not be whole on the disk keeps its record, to be looked at next time.
    if (durable) {
        CloseTakeRecord();
    } else {
        s.takeRecordPath.clear();
    }
    FreeRecordingBuffers();
    LogRecordingStopped();
}

void RequestEnd(EndReason reason) {
    CaptureSession& s = captureSession;
    if (s.endReason == kNoEndReason) s.endReason = reason;
    s.stopRequested = 1;
}

void WatchDevice(int64_t nowMs) {
    CaptureSession& s = captureSession;
    if (s.device == nullptr) return;
    if (paused != 0 || s.totalFrames != s.watchedFrames) {
        s.watchedFrames = s.totalFrames;
        s.watchedSinceMs = nowMs;
        return;
    }
    if (s.totalFrames == 0) {
        if (nowMs - s.watchedSinceMs >= kDeviceStartMs) RequestEnd(kInputNeverStarted);
    } else if (nowMs - s.watchedSinceMs >= kDeviceSilenceMs) {
        RequestEnd(kDeviceStopped);
    }
}

void InputLost() {
    CaptureSession& s = captureSession;
    if (s.device == nullptr || s.endReason != 0) return;
    s.failureDetail = s.device->InputFailure();
    RequestEnd(kInputLost);
}

platform::WaveResult OpenWaveInput() {
    platform::WaveInput& input = platform::Current<platform::WaveInput>();
    const std::string path = captureSession.filePath;
    input.NameStream(path.substr(path.find_last_of('/') + 1));
    const platform::WaveResult result = input.Open(captureSession.callbackWindow);
    captureSession.device = result == platform::kWaveOk ? &input : nullptr;
    return result;
}

int32_t CreateCallbackWindow() {
    platform::WindowSystem& windows = platform::Current<platform::WindowSystem>();
    // Fails harmlessly from the second recording on: the class is there already.
    windows.RegisterWindowClass(kCallbackWindowClass, WAVEWndProc);
    captureSession.callbackWindow = windows.CreateHiddenWindow(kCallbackWindowClass, ownerWindow);
    return 0;
}

intptr_t WAVEWndProc(platform::WindowHandle window, uint32_t message, uintptr_t wParam,
                     intptr_t lParam) {
    switch (message) {
        case platform::kWmClose:
            platform::Current<platform::WindowSystem>().DestroyWindow(window);
            return 1;
        case platform::kMmWimData:
            ProcessFilledBuffer(reinterpret_cast<platform::WaveHeader*>(lParam));
            return 0;
        case platform::kMmWimInputLost:
            InputLost();
            return 0;
        default:
            return platform::Current<platform::WindowSystem>().DefWindowProc(window, message,
                                                                             wParam, lParam);
    }
}

}  // namespace sonocap

#include "engine/capture_session.h"

#include "codec/compressed_header.h"
#include "codec/wave_header.h"
#include "engine/aligned_pool.h"
#include "engine/filled_buffer.h"
#include "engine/peak_meter.h"
#include "engine/program_state.h"
#include "engine/recording_buffers.h"
#include "engine/recording_file_choice.h"
#include "platform/message_sink.h"
#include "settings/parameter_record.h"

namespace sonocap {

namespace {

constexpr char kOverwriteTitle[] = " Sonocap: File exist";
constexpr char kOverwriteText[] = " File exist, do you want to overwrite it ? \n";

// Asks until the user has a file that is new or may be overwritten; false on cancel.
bool ChooseNewOrReplaceableFile() {
    platform::FileIo& files = platform::Current<platform::FileIo>();
    for (;;) {
        if (ChooseRecordingFile() == 0) return false;
        const platform::FileHandle existing = files.OpenForReading(captureSession.filePath);
        if (existing == platform::kNoFile) return true;
        files.Close(existing);
        platform::MessageRequest question;
        question.title = kOverwriteTitle;
        question.text = kOverwriteText;
        question.buttons = platform::MessageButtons::OkCancel;
        if (platform::Current<platform::MessageSink>().ShowMessage(question) ==
            platform::MessageAnswer::Ok) {
            return true;
        }
    }
}

// The header a file starts with: sizes 0, to be rewritten at the stop.
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

void WriteFinalHeader() {
    const CaptureSession& s = captureSession;
    platform::FileIo& files = platform::Current<platform::FileIo>();
    if (parameterRecord.compression != 0) {
        uint8_t header[kCompressedHeaderBytes];
        buildCompressedHeader(static_cast<uint32_t>(kCompressedHeaderBytes + s.bytesWritten),
                              static_cast<uint32_t>(s.dataBytes), header);
        files.Write(s.file, header, sizeof header);
        return;
    }
    uint8_t header[kWaveHeaderBytes];
    buildWaveHeader(static_cast<uint32_t>(s.bytesWritten), kSampleRate, kChannels, header);
    files.Write(s.file, header, sizeof header);
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

}  // namespace

int32_t StartRecording() {
    CaptureSession& s = captureSession;
    if (!ChooseNewOrReplaceableFile()) return kRecordingCancelled;

    s.file = platform::Current<platform::FileIo>().CreateForWriting(s.filePath);
    if (s.file == platform::kNoFile) return kFileNotCreated;
    s.driveRoot = DirectoryOfPath(s.filePath);

    if (!WriteProvisionalHeader()) {
        CloseRecordingFile();
        return kHeaderNotWritten;
    }

    try {
        AllocateRecordingBuffers();
    } catch (const PoolOutOfMemory&) {
        // The file keeps its provisional header, as after the other failures from here on.
        FreeRecordingBuffers();
        CloseRecordingFile();
        return kNoMemoryForBuffers;
    }
    s.ring = s.buffers[0];
    ZeroSamples(s.ring, kRingSamples);

    CreateCallbackWindow();
    if (OpenWaveInput() != platform::kWaveOk) {
        CloseRecordingFile();
        CloseCallbackWindow();
        FreeRecordingBuffers();
        return kDeviceNotOpened;
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

    s.ringIndex = 0;
    s.bytesWritten = 0;
    s.dataBytes = 0;
    s.totalFrames = 0;
    s.meterReadIndex = 0;
    s.peakHoldLeft = 0;
    s.peakHoldRight = 0;
    s.failed = 0;
    s.stopRequested = 0;
    s.dcStateLeft = 0.0;
    s.dcStateRight = 0.0;

    if (paused == 0) s.device->Start();
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
    // The buffers come back now, but their notifications die with the window below.
    s.device->Reset();
    for (int32_t i = 0; i < kBuffersInRing; ++i) s.device->UnprepareHeader(s.headers[i]);
    s.device->Close();
    s.device = nullptr;

    platform::Current<platform::FileIo>().Seek(s.file, 0);
    WriteFinalHeader();
    CloseCallbackWindow();
    CloseRecordingFile();
    FreeRecordingBuffers();
}

platform::WaveResult OpenWaveInput() {
    platform::WaveInput& input = platform::Current<platform::WaveInput>();
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
        default:
            return platform::Current<platform::WindowSystem>().DefWindowProc(window, message,
                                                                             wParam, lParam);
    }
}

}  // namespace sonocap

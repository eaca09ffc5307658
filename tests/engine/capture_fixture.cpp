#include "tests/engine/capture_fixture.h"

#include "platform/event_log.h"
#include "platform/file_io.h"
#include "platform/message_sink.h"
#include "platform/save_dialog.h"
#include "platform/wave_input.h"
#include "platform/window_system.h"

namespace sonocap::test {

void CaptureFixture::SetUp() {
    captureSession = CaptureSession{};
    parameterRecord = ParameterRecord{};
    SetDefaultParameters(parameterRecord);
    paused = 0;
    ownerWindow = platform::kNoWindow;
    closingRequested = 0;
    files.journal = &journal;
    device.journal = &journal;
    platform::InstallWaveInput(&device);
    platform::InstallWindowSystem(&windows);
    platform::InstallFileIo(&files);
    platform::InstallSaveDialog(&saveDialog);
    platform::InstallMessageSink(&messages);
    platform::InstallEventLog(&log);
}

void CaptureFixture::TearDown() {
    if (captureSession.device != nullptr) StopRecording();
    EXPECT_EQ(PoolCount(), 0) << "pool blocks left behind";
    EXPECT_EQ(files.openFiles, 0) << "files left open";
    platform::InstallWaveInput(nullptr);
    platform::InstallWindowSystem(nullptr);
    platform::InstallFileIo(nullptr);
    platform::InstallSaveDialog(nullptr);
    platform::InstallMessageSink(nullptr);
    platform::InstallEventLog(nullptr);
}

void CaptureFixture::UseFormat(bool compressed, bool dcFilter) {
    parameterRecord.compression = compressed ? 1 : 0;
    parameterRecord.dcFilter = dcFilter ? 1 : 0;
}

int32_t CaptureFixture::StartInto(const std::string& name) {
    saveDialog.answers.push_back(PathOf(name));
    return StartRecording();
}

void CaptureFixture::Capture(const std::vector<int16_t>& frames) {
    device.Deliver(frames);
    Pump();
}

std::vector<int16_t> NumberedFrames(int32_t frames, int32_t first) {
    std::vector<int16_t> samples(2 * static_cast<std::size_t>(frames));
    for (int32_t i = 0; i < frames; ++i) {
        samples[2 * i] = static_cast<int16_t>(first + i);
        samples[2 * i + 1] = static_cast<int16_t>(-(first + i));
    }
    return samples;
}

}  // namespace sonocap::test

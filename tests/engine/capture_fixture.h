#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/parameter_record.h"
#include "engine/aligned_pool.h"
#include "engine/capture_session.h"
#include "engine/recorder_flags.h"
#include "platform/fake/call_journal.h"
#include "platform/fake/fake_file_io.h"
#include "platform/fake/fake_save_dialog.h"
#include "platform/fake/journaling_window_system.h"
#include "platform/fake/recording_event_log.h"
#include "platform/fake/recording_message_sink.h"
#include "platform/fake/simulated_wave_input.h"
#include "tests/platform/temp_directory.h"

namespace sonocap::test {

// The engine over the simulated device and the fakes, with real files in a fresh directory.
class CaptureFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Switches for the next recording.
    void UseFormat(bool compressed, bool dcFilter = false);
    // Starts a recording into `name` in the temporary directory; returns StartRecording's result.
    int32_t StartInto(const std::string& name);
    // Delivers the frames and dispatches the notifications they caused.
    void Capture(const std::vector<int16_t>& frames);
    std::size_t Pump() { return windows.DispatchPending(); }
    std::string PathOf(const std::string& name) const { return directory.file(name); }

    testing::TempDirectory directory;
    platform::CallJournal journal;
    platform::SimulatedWaveInput device;
    platform::JournalingWindowSystem windows{journal};
    platform::FakeFileIo files;
    platform::FakeSaveDialog saveDialog;
    platform::RecordingMessageSink messages;
    platform::RecordingEventLog log;
};

// `frames` stereo frames: left i, right -i, wrapping, so every frame tells where it came from.
std::vector<int16_t> NumberedFrames(int32_t frames, int32_t first = 0);

}  // namespace sonocap::test

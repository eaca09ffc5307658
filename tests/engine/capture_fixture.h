#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/aligned_pool.h"
#include "engine/capture_session.h"
#include "engine/program_state.h"
#include "platform/fake/call_journal.h"
#include "platform/fake/fake_file_io.h"
#include "platform/fake/fake_save_dialog.h"
#include "platform/fake/journaling_window_system.h"
#include "platform/fake/recording_event_log.h"
#include "platform/fake/recording_message_sink.h"
#include "platform/fake/simulated_wave_input.h"
#include "platform/posix/heap_allocator.h"
#include "settings/parameter_record.h"
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
    platform::HeapAllocator heap;

  private:
    platform::LayerGuard<platform::WaveInput> deviceGuard_{device};
    platform::LayerGuard<platform::WindowSystem> windowsGuard_{windows};
    platform::LayerGuard<platform::FileIo> filesGuard_{files};
    platform::LayerGuard<platform::SaveDialog> saveDialogGuard_{saveDialog};
    platform::LayerGuard<platform::MessageSink> messagesGuard_{messages};
    platform::LayerGuard<platform::EventLog> logGuard_{log};
    platform::LayerGuard<platform::Allocator> heapGuard_{heap};
};

// `frames` stereo frames: left i, right -i, wrapping, so every frame tells where it came from.
std::vector<int16_t> NumberedFrames(int32_t frames, int32_t first = 0);

}  // namespace sonocap::test

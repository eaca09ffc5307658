#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/fake/fake_disk_space.h"
#include "platform/fake/fake_save_dialog.h"
#include "platform/fake/recording_desktop_notifier.h"
#include "platform/fake/recording_event_log.h"
#include "platform/fake/recording_message_sink.h"
#include "platform/fake/simulated_wave_input.h"
#include "platform/posix/heap_allocator.h"
#include "platform/posix/posix_file_io.h"
#include "platform/qt/qt_window_system.h"

namespace sonocap::test {

// The recorder window's world for a test: Qt's window system for the notifications, the
// simulated device, a scripted save dialog, recorded messages and log lines and a set free space,
// with real files in a fresh directory and memory from the heap. Every program-wide value starts as
// at program start, with the dB table built and no metering lag (the simulated device's position is
// exact).
class RecorderRig {
  public:
    RecorderRig();
    ~RecorderRig();
    RecorderRig(const RecorderRig&) = delete;
    RecorderRig& operator=(const RecorderRig&) = delete;

    std::string PathOf(const std::string& name) const { return directory_ + "/" + name; }
    const std::string& Directory() const { return directory_; }
    // The next save dialog chooses `name` in the directory.
    void ChooseFile(const std::string& name) { saveDialog.answers.push_back(PathOf(name)); }
    // Delivers interleaved stereo frames one buffer's worth at a time, letting the event
    // loop process every buffer that came back, as a device in real time would.
    void Deliver(const std::vector<int16_t>& frames);
    // Runs the event loop's pending work.
    static void Pump();

    platform::QtWindowSystem windows;
    platform::SimulatedWaveInput device;
    platform::FakeSaveDialog saveDialog;
    platform::RecordingMessageSink messages;
    platform::FakeDiskSpace disk;
    platform::PosixFileIo files;
    platform::HeapAllocator heap;
    platform::RecordingEventLog log;
    platform::RecordingDesktopNotifier notifier;

  private:
    std::string directory_;
    platform::LayerGuard<platform::WindowSystem> windowsGuard_{windows};
    platform::LayerGuard<platform::WaveInput> deviceGuard_{device};
    platform::LayerGuard<platform::SaveDialog> saveDialogGuard_{saveDialog};
    platform::LayerGuard<platform::MessageSink> messagesGuard_{messages};
    platform::LayerGuard<platform::DiskSpace> diskGuard_{disk};
    platform::LayerGuard<platform::FileIo> filesGuard_{files};
    platform::LayerGuard<platform::Allocator> heapGuard_{heap};
    platform::LayerGuard<platform::EventLog> logGuard_{log};
    platform::LayerGuard<platform::DesktopNotifier> notifierGuard_{notifier};
};

// `frames` stereo frames of a constant level on each channel.
std::vector<int16_t> SteadyFrames(int32_t frames, int16_t left, int16_t right);

}  // namespace sonocap::test

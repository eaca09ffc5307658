// A recording that never reaches its stop: the capture session over the simulated device and the
// real file system records the samples of a WAV file buffer by buffer, at a steady pace, into a
// new file, says on standard output after each buffer how many buffers the session has written,
// and waits to be killed once the samples run out.
//
// usage: recording_until_killed wav|cx SOURCE.wav OUT

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "codec/wave_reader.h"
#include "engine/capture_session.h"
#include "engine/program_state.h"
#include "platform/fake/fake_save_dialog.h"
#include "platform/fake/recording_event_log.h"
#include "platform/fake/simulated_wave_input.h"
#include "platform/posix/heap_allocator.h"
#include "platform/posix/posix_file_io.h"
#include "platform/queue/queued_window_system.h"
#include "platform/save_dialog.h"
#include "platform/wave_input.h"
#include "platform/window_system.h"
#include "settings/parameter_record.h"
#include "tools/host_samples.h"
#include "tools/input_file.h"

using namespace sonocap;

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: recording_until_killed wav|cx SOURCE.wav OUT\n");
        return 2;
    }
    InputFile source;
    WaveLayout layout;
    if (source.Open(argv[2])) return 1;
    ByteWindow window(source);
    if (ReadWaveLayout(window, layout) || !IsRecordingFormat(layout)) {
        std::fprintf(stderr, "recording_until_killed: %s: not a recording's WAV file\n", argv[2]);
        return 1;
    }

    platform::SimulatedWaveInput device;
    platform::QueuedWindowSystem windows;
    platform::FakeSaveDialog saveDialog;
    saveDialog.answers.push_back(std::string(argv[3]));
    platform::PosixFileIo files;
    platform::HeapAllocator heap;
    platform::RecordingEventLog log;
    platform::Install<platform::WaveInput>(&device);
    platform::Install<platform::WindowSystem>(&windows);
    platform::Install<platform::SaveDialog>(&saveDialog);
    platform::Install<platform::FileIo>(&files);
    platform::Install<platform::Allocator>(&heap);
    platform::Install<platform::EventLog>(&log);
    SetDefaultParameters(parameterRecord);
    parameterRecord.compression = std::strcmp(argv[1], "cx") == 0 ? 1 : 0;
    paused = 0;
    if (StartRecording() != kRecordingStarted) {
        std::fprintf(stderr, "recording_until_killed: the recording did not start\n");
        return 1;
    }

    const uint64_t frames = layout.presentDataBytes / kBytesPerFrame;
    static int16_t scratch[2 * kFramesPerBuffer];
    for (uint64_t first = 0; first + kFramesPerBuffer <= frames; first += kFramesPerBuffer) {
        const uint64_t at = layout.dataOffset + first * kBytesPerFrame;
        if (window.Reach(at, kBytesPerFrame * kFramesPerBuffer) <
            kBytesPerFrame * kFramesPerBuffer) {
            return 1;
        }
        device.Deliver(HostSamples(window.At(at), 2 * kFramesPerBuffer, scratch), kFramesPerBuffer);
        windows.DispatchPending();
        // The session's writes went straight to the file; the line is for the killer.
        const std::string line =
            "buffers " + std::to_string((first + kFramesPerBuffer) / kFramesPerBuffer) + "\n";
        if (write(STDOUT_FILENO, line.data(), line.size()) < 0) return 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
    for (;;) pause();
}

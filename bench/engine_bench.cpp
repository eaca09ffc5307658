// ProcessFilledBuffer on full buffers of corpus music with the DC filter and compression on:
// the work the user-interface thread does for every 371.5 ms of sound. The time per buffer over
// 371.5 ms is the share of the budget.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/capture_session.h"
#include "engine/filled_buffer.h"
#include "engine/program_state.h"
#include "platform/fake/counting_file_io.h"
#include "platform/fake/fake_save_dialog.h"
#include "platform/fake/recording_event_log.h"
#include "platform/fake/simulated_wave_input.h"
#include "platform/file_io.h"
#include "platform/posix/heap_allocator.h"
#include "platform/queue/queued_window_system.h"
#include "platform/save_dialog.h"
#include "platform/wave_input.h"
#include "platform/window_system.h"
#include "settings/parameter_record.h"
#include "tests/codec/test_signals.h"

namespace {

using namespace sonocap;

void ProcessFilledBufferMusic(benchmark::State& state) {
    std::vector<int16_t> music = test::LoadCorpusClip("d3_tracker_music.wav");
    if (music.size() < 2u * kRingFrames) {
        state.SkipWithError("corpus clip d3_tracker_music.wav not found or too short");
        return;
    }
    platform::SimulatedWaveInput device;
    platform::QueuedWindowSystem windows;
    platform::CountingFileIo files;  // the disk is not what is measured
    platform::FakeSaveDialog dialog;
    dialog.answers.push_back("/bench/take.cx");
    platform::HeapAllocator heap;
    platform::RecordingEventLog log;
    const platform::LayerGuard<platform::EventLog> logGuard(log);
    const platform::LayerGuard<platform::WaveInput> deviceGuard(device);
    const platform::LayerGuard<platform::WindowSystem> windowsGuard(windows);
    const platform::LayerGuard<platform::FileIo> filesGuard(files);
    const platform::LayerGuard<platform::SaveDialog> dialogGuard(dialog);
    const platform::LayerGuard<platform::Allocator> heapGuard(heap);
    SetDefaultParameters(parameterRecord);
    parameterRecord.compression = 1;
    parameterRecord.dcFilter = 1;
    if (StartRecording() != kRecordingStarted) {
        state.SkipWithError("the recording did not start");
        return;
    }

    int64_t slot = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // The device's part: the next stretch of music into the slot that comes back next.
        const int64_t first = (slot * kFramesPerBuffer) % (music.size() / 2 - kFramesPerBuffer);
        std::memcpy(captureSession.ring + 2 * captureSession.ringIndex, music.data() + 2 * first,
                    kBytesPerBuffer);
        platform::WaveHeader* header =
            captureSession.headers[captureSession.ringIndex / kFramesPerBuffer];
        header->dwBytesRecorded = kBytesPerBuffer;
        ++slot;
        state.ResumeTiming();
        ProcessFilledBuffer(header);
    }
    state.counters["bytes_per_buffer"] =
        static_cast<double>(captureSession.bytesWritten) / static_cast<double>(slot);

    StopRecording();
}

BENCHMARK(ProcessFilledBufferMusic)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

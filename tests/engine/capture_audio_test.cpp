// Recordings from the real default input of a PulseAudio test server whose source is fed a
// known signal through a FIFO (scripts/audio-test-server.sh), through both wave-input backends:
// libpulse, and PortAudio through ALSA.

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/aligned_pool.h"
#include "engine/capture_session.h"
#include "engine/dc_filter.h"
#include "engine/peak_meter.h"
#include "engine/program_state.h"
#include "platform/fake/fake_save_dialog.h"
#include "platform/fake/recording_event_log.h"
#include "platform/fake/recording_message_sink.h"
#include "platform/message_sink.h"
#include "platform/portaudio/portaudio_wave_input.h"
#include "platform/posix/heap_allocator.h"
#include "platform/posix/posix_file_io.h"
#include "platform/pulse/pulse_wave_input.h"
#include "platform/queue/queued_window_system.h"
#include "platform/save_dialog.h"
#include "platform/window_system.h"
#include "settings/parameter_record.h"
#include "settings/program_environment.h"
#include "tests/engine/recording_files.h"
#include "tests/platform/temp_directory.h"

namespace sonocap {
namespace {

using Clock = std::chrono::steady_clock;

std::unique_ptr<platform::WaveInput> MakeDevice(bool pulse) {
    if (pulse) return std::make_unique<platform::PulseWaveInput>();
    return std::make_unique<platform::PortAudioWaveInput>();
}

// The device, the files and the memory that the program itself has; the log is kept.
struct RealLayers {
    explicit RealLayers(bool pulse) : device(MakeDevice(pulse)) {}
    std::unique_ptr<platform::WaveInput> device;
    platform::PosixFileIo files;
    platform::HeapAllocator heap;
    platform::RecordingEventLog log;
    platform::LayerGuard<platform::WaveInput> deviceGuard{*device};
    platform::LayerGuard<platform::FileIo> filesGuard{files};
    platform::LayerGuard<platform::Allocator> heapGuard{heap};
    platform::LayerGuard<platform::EventLog> logGuard{log};
};

constexpr int32_t kFedFrames = 10 * 44100;
constexpr auto kRecordingTime = std::chrono::milliseconds(3000);

// A sequence that no stretch of 16 frames repeats in, with an offset on the left channel for
// the filter to remove.
std::vector<int16_t> FedSignal() {
    std::vector<int16_t> samples(2 * static_cast<std::size_t>(kFedFrames));
    uint32_t state = 12345;
    for (int32_t i = 0; i < kFedFrames; ++i) {
        state = state * 1664525u + 1013904223u;
        samples[2 * i] = static_cast<int16_t>(3000 + static_cast<int32_t>(state >> 20) - 2048);
        samples[2 * i + 1] = static_cast<int16_t>(static_cast<int32_t>(state >> 16) - 32768);
    }
    return samples;
}

// Writes the signal into the server's FIFO in 10 ms pieces at the pace of the wall clock.
class Feeder {
  public:
    Feeder(const std::string& fifo, const std::vector<int16_t>& samples) {
        thread_ = std::thread([this, fifo, &samples] { Run(fifo, samples); });
    }
    ~Feeder() {
        stop_ = true;
        thread_.join();
    }
    int64_t framesWritten() const { return written_; }

  private:
    void Run(const std::string& fifo, const std::vector<int16_t>& samples) {
        const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return;
        constexpr int32_t kPiece = 441;
        auto next = Clock::now();
        for (int32_t first = 0; first + kPiece <= kFedFrames && !stop_; first += kPiece) {
            const char* data = reinterpret_cast<const char*>(samples.data() + 2 * first);
            std::size_t left = kPiece * 4;
            while (left > 0 && !stop_) {
                const ssize_t n = write(fd, data, left);
                if (n > 0) {
                    data += n;
                    left -= static_cast<std::size_t>(n);
                } else {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
            }
            written_ += kPiece;
            next += std::chrono::milliseconds(10);
            std::this_thread::sleep_until(next);
        }
        close(fd);
    }

    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<int64_t> written_{0};
};

// Empties the FIFO of what an earlier feeder left in it.
void DrainFifo(const std::string& fifo) {
    const int fd = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    char scrap[65536];
    while (read(fd, scrap, sizeof scrap) > 0) {
    }
    close(fd);
}

// The first frame of `fed` that `stored` starts at, -1 when there is none. With the filter on,
// `stored` must start like the filter run from state 0 over the fed frames from there.
int64_t FindStart(const std::vector<int16_t>& fed, const std::vector<int16_t>& stored,
                  bool filtered) {
    constexpr int32_t kProbe = 16;
    if (stored.size() < 2 * kProbe) return -1;
    for (int64_t k = 0; k + kProbe <= kFedFrames; ++k) {
        std::vector<int16_t> probe(fed.begin() + 2 * k, fed.begin() + 2 * (k + kProbe));
        if (filtered) {
            captureSession.dcStateLeft = captureSession.dcStateRight = 0.0;
            RemoveDC(probe.data(), kProbe);
        }
        if (std::equal(probe.begin(), probe.end(), stored.begin())) return k;
    }
    return -1;
}

struct AudioCase {
    bool compressed;
    bool dcFilter;
    bool pulse;  // libpulse, or PortAudio
};

void PrintTo(const AudioCase& c, std::ostream* out) {
    *out << (c.compressed ? "Compaxa" : "Wave") << (c.dcFilter ? " filtered" : "")
         << (c.pulse ? " through libpulse" : " through PortAudio");
}

class CaptureAudio : public ::testing::TestWithParam<AudioCase> {
  protected:
    void SetUp() override {
        const char* server = std::getenv("SONOCAP_AUDIO_TEST_DIR");
        if (server == nullptr) {
            GTEST_SKIP() << "no audio test server; start one with "
                            "eval \"$(scripts/audio-test-server.sh start)\"";
        }
        fifo_ = std::string(server) + "/testsrc.fifo";
        ResetProgramState();
        SetDefaultParameters(parameterRecord);
        platform::Install<platform::SaveDialog>(&saveDialog_);
        platform::Install<platform::MessageSink>(&messages_);
        platform::Install<platform::WindowSystem>(&windows_);
        DrainFifo(fifo_);
    }
    void TearDown() override {
        platform::Install<platform::SaveDialog>(nullptr);
        platform::Install<platform::MessageSink>(nullptr);
        platform::Install<platform::WindowSystem>(nullptr);
    }

    // Runs the event loop of a recording for `duration`: notifications as they come, the
    // metering every 55 ms.
    void RunEventLoop(Clock::duration duration) {
        platform::WaveInput& input = platform::Current<platform::WaveInput>();
        const auto end = Clock::now() + duration;
        auto nextTick = Clock::now();
        while (Clock::now() < end) {
            pollfd watch{input.NotificationDescriptor(), POLLIN, 0};
            poll(&watch, 1, 5);
            input.DeliverNotifications();
            windows_.DispatchPending();
            if (Clock::now() >= nextTick) {
                UpdateMeterPeaks();
                nextTick += std::chrono::milliseconds(55);
            }
        }
    }

    RealLayers real_{GetParam().pulse};
    testing::TempDirectory directory_;
    std::string fifo_;
    platform::FakeSaveDialog saveDialog_;
    platform::RecordingMessageSink messages_;
    platform::QueuedWindowSystem windows_;
};

TEST_P(CaptureAudio, StoresTheFedSignalExactly) {
    const AudioCase c = GetParam();
    parameterRecord.compression = c.compressed;
    parameterRecord.dcFilter = c.dcFilter;
    const std::string path = directory_.file(c.compressed ? "take.cx" : "take.wav");
    saveDialog_.answers.push_back(path);
    const std::vector<int16_t> fed = FedSignal();
    {
        const Feeder feeder(fifo_, fed);
        const int32_t started = StartRecording();
        ASSERT_EQ(started, kRecordingStarted)
            << "the device did not open: "
            << platform::Current<platform::WaveInput>().OpenFailure();
        RunEventLoop(kRecordingTime);
        EXPECT_GT(captureSession.peakLeft + captureSession.peakRight, 0) << "the meter saw nothing";
        StopRecording();
    }
    EXPECT_EQ(captureSession.stopRequested, 0) << "overrun";
    EXPECT_EQ(captureSession.failed, 0);
    EXPECT_EQ(PoolCount(), 0);

    const test::ReadBack file = test::ReadBackRecording(c.compressed, path);
    ASSERT_TRUE(file.ok) << file.error;
    const int64_t frames = static_cast<int64_t>(file.samples.size() / 2);
    // About 3 s arrive; at least five whole buffers are stored.
    EXPECT_GE(frames, 5 * kFramesPerBuffer);
    EXPECT_EQ(frames, captureSession.dataBytes / kBytesPerFrame);
    // Compaxa stores a buffer cut short by the stop in eight equal records: up to 7 frames
    // of it are counted but not stored.
    EXPECT_GE(captureSession.totalFrames, frames);
    EXPECT_LT(captureSession.totalFrames, frames + (c.compressed ? 8 : 1));

    const double savedLeft = captureSession.dcStateLeft;
    const int64_t start = FindStart(fed, file.samples, c.dcFilter);
    ASSERT_GE(start, 0) << "the recording does not start like any stretch of the fed signal";
    ASSERT_LE(start + frames, kFedFrames);
    std::vector<int16_t> expected(fed.begin() + 2 * start, fed.begin() + 2 * (start + frames));
    if (c.dcFilter) {
        captureSession.dcStateLeft = captureSession.dcStateRight = 0.0;
        RemoveDC(expected.data(), static_cast<int32_t>(frames));
        captureSession.dcStateLeft = savedLeft;
    }
    EXPECT_TRUE(file.samples == expected) << "the stored samples differ from the fed ones after "
                                          << "frame " << start << " of the fed signal";
    if (!c.compressed) {
        const test::ReadBack sox = test::ReadWaveWithSox(path);
        ASSERT_TRUE(sox.ok) << sox.error;
        EXPECT_TRUE(sox.samples == file.samples);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, CaptureAudio,
    ::testing::Values(AudioCase{false, false, false}, AudioCase{false, true, false},
                      AudioCase{true, false, false}, AudioCase{true, true, false},
                      AudioCase{false, false, true}, AudioCase{false, true, true},
                      AudioCase{true, false, true}, AudioCase{true, true, true}),
    [](const auto& info) {
        return std::string(info.param.pulse ? "Pulse" : "PortAudio") +
               (info.param.compressed ? "Compaxa" : "Wave") +
               (info.param.dcFilter ? "Filtered" : "Plain");
    });

// Sets an environment variable for the life of the object.
class ScopedEnvironment {
  public:
    ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) previous_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment() {
        if (previous_) {
            setenv(name_, previous_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::optional<std::string> previous_;
};

bool MachineHasSoundCard() {
    std::ifstream cards("/proc/asound/cards");
    std::string first;
    std::getline(cards, first);
    return cards.good() && first.find("no soundcards") == std::string::npos;
}

class CaptureAudioWithoutServer : public ::testing::TestWithParam<bool> {};

TEST_P(CaptureAudioWithoutServer, StartReturnsMinusTwoWithTheReasonAndRemovesTheFileItCreated) {
    if (MachineHasSoundCard()) GTEST_SKIP() << "this machine has a sound card to open";
    testing::TempDirectory directory;
    // No server to reach, and none to start.
    const std::string clientConfig = directory.file("client.conf");
    std::ofstream(clientConfig) << "autospawn = no\n";
    const ScopedEnvironment noSpawn("PULSE_CLIENTCONFIG", clientConfig);
    const ScopedEnvironment noServer("PULSE_SERVER", "unix:" + directory.file("no-server"));
    RealLayers real(GetParam());

    ResetProgramState();
    SetDefaultParameters(parameterRecord);
    platform::FakeSaveDialog dialog;
    dialog.answers.push_back(directory.file("take.wav"));
    platform::Install<platform::SaveDialog>(&dialog);
    platform::QueuedWindowSystem windows;
    platform::Install<platform::WindowSystem>(&windows);

    EXPECT_EQ(StartRecording(), kDeviceNotOpened);
    const std::string reason = platform::Current<platform::WaveInput>().OpenFailure();
    if (GetParam()) {
        EXPECT_EQ(reason, "no sound server answered");
    } else {
        EXPECT_FALSE(reason.empty());
    }
    EXPECT_EQ(captureSession.device, nullptr);
    EXPECT_EQ(PoolCount(), 0);
    EXPECT_EQ(windows.PendingMessages(), 0u);
    EXPECT_FALSE(std::filesystem::exists(directory.file("take.wav")));
    platform::Install<platform::SaveDialog>(nullptr);
    platform::Install<platform::WindowSystem>(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Backends, CaptureAudioWithoutServer, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Pulse" : "PortAudio"; });

}  // namespace
}  // namespace sonocap

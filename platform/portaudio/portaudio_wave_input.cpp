#include "platform/portaudio/portaudio_wave_input.h"

#include <alsa/asoundlib.h>
#include <portaudio.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#if SONOCAP_HAVE_JACK
#include <jack/jack.h>
#endif

#include "platform/recording_format.h"

namespace sonocap::platform {

namespace {

// 1024 frames (23 ms) a callback: half the wake-ups of 512, while every 55 ms display tick
// still finds new frames to meter. A buffer of four callbacks (93 ms) lets the audio thread be
// held up about 70 ms before input is lost; a larger one makes the server deliver in bursts
// that leave display ticks without new frames, and the bars would flicker.
constexpr unsigned long kFramesPerCallback = 1024;
constexpr int kCallbacksInBuffer = 4;
// The input time of callbacks through the PulseAudio server wanders by up to 20 ms (measured);
// a jump of 100 ms is a loss.
constexpr double kAdcJumpFrames = 0.1 * kSampleRate;

// The audio libraries report every host API they cannot reach on stderr at each initialise;
// the reason of a failed open is given to the user instead.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}
#if SONOCAP_HAVE_JACK
void QuietJack(const char*) {}
#endif

void SilenceAudioLibraries() {
    snd_lib_error_set_handler(QuietAlsa);
#if SONOCAP_HAVE_JACK
    jack_set_error_function(QuietJack);
    jack_set_info_function(QuietJack);
#endif
}

}  // namespace

// Frames that come while the gate is closed (a pause or a stop that PortAudio has not carried
// out yet) belong to no recording: not stored, not counted.
int PortAudioWaveInput::StreamCallback(const void* input, void*, unsigned long frameCount,
                                       const PaStreamCallbackTimeInfo* time,
                                       PaStreamCallbackFlags flags, void* data) {
    auto* self = static_cast<PortAudioWaveInput*>(data);
    int open = kGateOpen;
    if (!self->gate_.compare_exchange_strong(open, kGateBusy, std::memory_order_acquire)) {
        return paContinue;
    }
    self->Capture(static_cast<const int16_t*>(input), static_cast<int64_t>(frameCount),
                  time != nullptr ? time->inputBufferAdcTime : 0.0, (flags & paInputOverflow) != 0);
    self->gate_.store(kGateOpen, std::memory_order_release);
    return paContinue;
}

PortAudioWaveInput::PortAudioWaveInput() {
    wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

PortAudioWaveInput::~PortAudioWaveInput() {
    if (stream_ != nullptr) {
        CloseGate();
        Command(false, true);
    }
    if (streamThread_.joinable()) {
        // A stream thread stuck in PortAudio's stop does not hold up the end of the program.
        if (AwaitStreamThread()) {
            streamThread_.join();
        } else {
            streamThread_.detach();
        }
    }
    if (wake_ >= 0) close(wake_);
}

bool PortAudioWaveInput::AwaitStreamThread() {
    // PortAudio stops and closes a healthy stream in a few tens of milliseconds.
    for (int i = 0; i < 100 && !streamThreadDone_.load(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return streamThreadDone_.load();
}

void PortAudioWaveInput::CloseGate() {
    int open = kGateOpen;
    while (!gate_.compare_exchange_weak(open, kGateClosed, std::memory_order_acquire)) {
        if (open == kGateClosed) return;
        open = kGateOpen;
        std::this_thread::yield();
    }
}

void PortAudioWaveInput::Command(bool running, bool close) {
    {
        const std::lock_guard<std::mutex> lock(commandLock_);
        wantRunning_ = running;
        wantClose_ = wantClose_ || close;
    }
    commandChanged_.notify_one();
}

void PortAudioWaveInput::RunStreamThread(void* stream) {
    bool running = false;
    bool failed = false;
    for (;;) {
        bool want = false;
        {
            std::unique_lock<std::mutex> lock(commandLock_);
            commandChanged_.wait(
                lock, [&] { return wantClose_ || (!failed && wantRunning_ != running); });
            if (wantClose_) break;
            want = wantRunning_;
        }
        if (want) {
            // A stream that does not start stays stopped; the take's watch ends the take.
            failed = Pa_StartStream(stream) != paNoError;
            running = !failed;
        } else {
            // Aborted, not stopped: the gate has already kept the frames still pending out of
            // the buffers, and a stop would wait for ALSA's thread, which waits for input.
            Pa_AbortStream(stream);
            running = false;
        }
    }
    Pa_AbortStream(stream);
    Pa_CloseStream(stream);
    Pa_Terminate();
    streamThreadDone_.store(true);
}

void PortAudioWaveInput::Fail(const std::string& reason) {
    openFailure_ = reason;
    Pa_Terminate();
    alsaOutput_.reset();
}

WaveResult PortAudioWaveInput::Open(WindowHandle notificationWindow) {
    if (stream_ != nullptr) return kWaveDeviceFailed;
    openFailure_.clear();
    if (streamThread_.joinable()) {
        // The last recording's stream may still be stopping on its own thread, waiting for an
        // audio system that went away; PortAudio cannot be initialised again meanwhile.
        if (!AwaitStreamThread()) {
            openFailure_ = "the last recording's input is still being closed; try again shortly";
            return kWaveDeviceFailed;
        }
        streamThread_.join();
    }
    SilenceAudioLibraries();
    if (!alsaOutput_) alsaOutput_.emplace();
    // Initialised at every open, so that a server or card that appeared since the last
    // recording is found.
    PaError error = Pa_Initialize();
    if (error != paNoError) {
        openFailure_ = Pa_GetErrorText(error);
        alsaOutput_.reset();
        return kWaveDeviceFailed;
    }
    const PaDeviceIndex device = Pa_GetDefaultInputDevice();
    if (device == paNoDevice) {
        Fail("no audio input device");
        return kWaveNoDevice;
    }
    const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
    PaStreamParameters parameters{};
    parameters.device = device;
    parameters.channelCount = kChannels;
    parameters.sampleFormat = paInt16;
    parameters.suggestedLatency =
        std::max(info != nullptr ? info->defaultLowInputLatency : 0.0,
                 static_cast<double>(kCallbacksInBuffer * kFramesPerCallback) / kSampleRate);
    PaStream* stream = nullptr;
    error = Pa_OpenStream(&stream, &parameters, nullptr, kSampleRate, kFramesPerCallback,
                          paClipOff | paDitherOff, StreamCallback, this);
    if (error != paNoError) {
        Fail(Pa_GetErrorText(error));
        return kWaveDeviceFailed;
    }
    stream_ = stream;
    window_ = notificationWindow;
    running_ = false;
    buffers_.Clear();
    gate_.store(kGateClosed);
    wantRunning_ = false;
    wantClose_ = false;
    streamThreadDone_.store(false);
    streamThread_ = std::thread([this, stream] { RunStreamThread(stream); });
    return kWaveOk;
}

WaveResult PortAudioWaveInput::PrepareHeader(WaveHeader* header) {
    if (stream_ == nullptr) return kWaveNotOpen;
    return CaptureBuffers::Prepare(header);
}

WaveResult PortAudioWaveInput::UnprepareHeader(WaveHeader* header) {
    if (stream_ == nullptr) return kWaveNotOpen;
    return CaptureBuffers::Unprepare(header);
}

WaveResult PortAudioWaveInput::AddBuffer(WaveHeader* header) {
    if (stream_ == nullptr) return kWaveNotOpen;
    return buffers_.Add(header);
}

WaveResult PortAudioWaveInput::Start() {
    if (stream_ == nullptr) return kWaveNotOpen;
    if (running_) return kWaveOk;
    // The input time goes on while the stream is stopped: no loss across a pause.
    nextAdcTime_ = 0.0;
    Command(true);
    running_ = true;
    gate_.store(kGateOpen, std::memory_order_release);
    return kWaveOk;
}

void PortAudioWaveInput::NoteLoss(bool overflow, double adcTime, int64_t frameCount) {
    int64_t lost = 0;
    // Callbacks come at uneven times, but a jump of the input time beyond its jitter means
    // frames that never reached the callback.
    if (adcTime > 0.0 && nextAdcTime_ > 0.0) {
        const double gapFrames = (adcTime - nextAdcTime_) * kSampleRate;
        if (gapFrames >= kAdcJumpFrames) lost = static_cast<int64_t>(gapFrames + 0.5);
    }
    nextAdcTime_ = adcTime > 0.0 ? adcTime + static_cast<double>(frameCount) / kSampleRate : 0.0;
    if (overflow || lost > 0) buffers_.NoteLoss(lost);
}

void PortAudioWaveInput::Capture(const int16_t* input, int64_t frameCount, double adcTime,
                                 bool overflow) {
    NoteLoss(overflow, adcTime, frameCount);
    if (buffers_.Fill(input, frameCount)) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t ignored = write(wake_, &one, sizeof one);
    }
}

void PortAudioWaveInput::DeliverNotifications() {
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t ignored = read(wake_, &count, sizeof count);
    if (stream_ != nullptr) buffers_.Post(window_);
}

WaveResult PortAudioWaveInput::Stop() {
    if (stream_ == nullptr) return kWaveNotOpen;
    if (!running_) return kWaveOk;
    // The buffer being filled is ours once the gate is closed; PortAudio stops the stream on
    // the stream thread in its own time.
    CloseGate();
    Command(false);
    running_ = false;
    buffers_.ReturnCurrent(false);
    buffers_.Post(window_);
    return kWaveOk;
}

WaveResult PortAudioWaveInput::Reset() {
    if (stream_ == nullptr) return kWaveNotOpen;
    CloseGate();
    Command(false);
    running_ = false;
    buffers_.ReturnCurrent(true);
    buffers_.ReturnQueued();
    buffers_.Post(window_);
    return kWaveOk;
}

WaveResult PortAudioWaveInput::Close() {
    if (stream_ == nullptr) return kWaveNotOpen;
    if (buffers_.Filling()) return kWaveStillPlaying;
    CloseGate();
    // Closed and terminated on the stream thread; the next Open waits for it.
    Command(false, true);
    running_ = false;
    stream_ = nullptr;
    window_ = kNoWindow;
    alsaOutput_.reset();
    return kWaveOk;
}

InputLoss PortAudioWaveInput::Losses() const {
    return buffers_.Losses();
}

int64_t PortAudioWaveInput::Position() {
    return buffers_.Position();
}

}  // namespace sonocap::platform

// The floor of the audio path: PortAudio alone recording the default input as the recorder
// does (1024-frame callbacks, a buffer of four), each callback copied into a ring of six
// 16384-frame buffers and nothing else. bench/recorder-cpu.sh measures it beside the recorder.
// Runs until it is killed.

#include <portaudio.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kSampleRate = 44100;
constexpr int kChannels = 2;
constexpr unsigned long kFramesPerCallback = 1024;
constexpr int kCallbacksInBuffer = 4;
constexpr int64_t kRingFrames = 6 * 16384;

std::array<int16_t, kChannels * kRingFrames> ring;
int64_t position = 0;

int Copy(const void* input, void*, unsigned long frameCount, const PaStreamCallbackTimeInfo*,
         PaStreamCallbackFlags, void*) {
    const auto* samples = static_cast<const int16_t*>(input);
    for (unsigned long done = 0; samples != nullptr && done < frameCount;) {
        const int64_t at = position % kRingFrames;
        const auto n = static_cast<unsigned long>(
            std::min<int64_t>(kRingFrames - at, static_cast<int64_t>(frameCount - done)));
        std::memcpy(ring.data() + kChannels * at, samples + kChannels * done,
                    n * kChannels * sizeof(int16_t));
        position += n;
        done += n;
    }
    return paContinue;
}

}  // namespace

int main() {
    PaStream* stream = nullptr;
    PaError error = Pa_Initialize();
    if (error == paNoError) {
        PaStreamParameters parameters{};
        parameters.device = Pa_GetDefaultInputDevice();
        parameters.channelCount = kChannels;
        parameters.sampleFormat = paInt16;
        parameters.suggestedLatency =
            static_cast<double>(kCallbacksInBuffer * kFramesPerCallback) / kSampleRate;
        error = parameters.device == paNoDevice
                    ? paInvalidDevice
                    : Pa_OpenStream(&stream, &parameters, nullptr, kSampleRate, kFramesPerCallback,
                                    paClipOff | paDitherOff, Copy, nullptr);
    }
    if (error == paNoError) error = Pa_StartStream(stream);
    if (error != paNoError) {
        std::fprintf(stderr, "capture_peer: %s\n", Pa_GetErrorText(error));
        return 1;
    }
    for (;;) pause();
}

#include "platform/wave_input.h"

#include "platform/portaudio/portaudio_wave_input.h"

namespace sonocap::platform {

namespace {
WaveInput* installedWaveInput = nullptr;
}

WaveInput& CurrentWaveInput() {
    static PortAudioWaveInput real;
    return installedWaveInput != nullptr ? *installedWaveInput : real;
}

void InstallWaveInput(WaveInput* input) {
    installedWaveInput = input;
}

}  // namespace sonocap::platform

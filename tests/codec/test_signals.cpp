#include "tests/codec/test_signals.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

#include "codec/wave_reader.h"

namespace sonocap::test {

const char* SignalName(SignalKind kind) {
    switch (kind) {
        case SignalKind::Silence:
            return "Silence";
        case SignalKind::Sine:
            return "Sine";
        case SignalKind::Square:
            return "Square";
        case SignalKind::FullScaleNoise:
            return "FullScaleNoise";
        case SignalKind::Extremes:
            return "Extremes";
        case SignalKind::DcOffset:
            return "DcOffset";
        case SignalKind::QuietNoise:
            return "QuietNoise";
    }
    return "?";
}

std::vector<SignalKind> AllSignalKinds() {
    return {SignalKind::Silence,        SignalKind::Sine,     SignalKind::Square,
            SignalKind::FullScaleNoise, SignalKind::Extremes, SignalKind::DcOffset,
            SignalKind::QuietNoise};
}

std::vector<int16_t> MakeSignal(SignalKind kind, int32_t frames, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> full(-32768, 32767);
    std::uniform_int_distribution<int> small(-40, 40);
    std::vector<int16_t> samples(2 * static_cast<size_t>(frames));
    const double pi = std::acos(-1.0);
    const double freqL = 40.0 + seed % 5000, freqR = 3000.0 + seed % 7000;
    for (int32_t i = 0; i < frames; ++i) {
        int16_t l = 0, r = 0;
        switch (kind) {
            case SignalKind::Silence:
                break;
            case SignalKind::Sine:
                l = static_cast<int16_t>(std::lround(32767 * std::sin(2 * pi * freqL * i / 44100)));
                r = static_cast<int16_t>(std::lround(12000 * std::sin(2 * pi * freqR * i / 44100)));
                break;
            case SignalKind::Square:
                l = (i / 50) % 2 ? 32767 : -32768;
                r = (i / 7) % 2 ? 1000 : -1000;
                break;
            case SignalKind::FullScaleNoise:
                l = static_cast<int16_t>(full(random));
                r = static_cast<int16_t>(full(random));
                break;
            case SignalKind::Extremes: {
                static constexpr int16_t values[] = {32767, -32768, -32768, 32767, 0, -32767};
                l = values[(i + seed) % 6];
                r = values[(i * 5 + 1) % 6];
                break;
            }
            case SignalKind::DcOffset:
                l = static_cast<int16_t>(-20000 + small(random));
                r = static_cast<int16_t>(31000 + small(random) / 8);
                break;
            case SignalKind::QuietNoise:
                l = static_cast<int16_t>(small(random));
                r = static_cast<int16_t>(small(random) / 4);
                break;
        }
        samples[2 * i] = l;
        samples[2 * i + 1] = r;
    }
    return samples;
}

std::vector<int16_t> NoiseWithoutZeroResiduals(int32_t frames, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> nonZero(1, 65535);
    std::vector<int16_t> samples(2 * static_cast<size_t>(frames));
    for (int ch = 0; ch < 2; ++ch) {
        // Choose the second differences, then sum them twice (wrapping) into samples.
        uint16_t first = 0, sample = 0;
        for (int32_t i = 0; i < frames; ++i) {
            const uint16_t e2 = static_cast<uint16_t>(nonZero(random));
            first = static_cast<uint16_t>(i >= 2 ? first + e2 : e2);
            sample = static_cast<uint16_t>(i >= 1 ? sample + first : first);
            samples[2 * i + ch] = static_cast<int16_t>(sample);
        }
    }
    return samples;
}

std::vector<std::string> CorpusClipNames() {
    return {"d1_speech_english.wav", "d2_game_score.wav", "d3_tracker_music.wav"};
}

std::vector<int16_t> LoadCorpusClip(const std::string& name) {
    const char* dir = std::getenv("SONOCAP_CORPUS_DIR");
#ifdef SONOCAP_CORPUS_DIR
    if (dir == nullptr) dir = SONOCAP_CORPUS_DIR;
#endif
    if (dir == nullptr) return {};
    std::ifstream file(std::string(dir) + "/" + name, std::ios::binary);
    if (!file) return {};
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                     std::istreambuf_iterator<char>());
    WaveLayout layout;
    if (ReadWaveLayout(bytes.data(), bytes.size(), layout) || !IsRecordingFormat(layout)) return {};
    std::vector<int16_t> samples(layout.presentDataBytes / 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        const uint8_t* p = bytes.data() + layout.dataOffset + 2 * i;
        samples[i] = static_cast<int16_t>(p[0] | (p[1] << 8));
    }
    return samples;
}

}  // namespace sonocap::test

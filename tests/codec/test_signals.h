#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Stereo test signals (interleaved left/right), reproducible from a seed.

namespace sonocap::test {

enum class SignalKind { Silence, Sine, Square, FullScaleNoise, Extremes, DcOffset, QuietNoise };

const char* SignalName(SignalKind kind);
std::vector<SignalKind> AllSignalKinds();

std::vector<int16_t> MakeSignal(SignalKind kind, int32_t frames, uint32_t seed);

// Full-scale noise whose order-2 residuals are never zero, so every code is an escape.
std::vector<int16_t> NoiseWithoutZeroResiduals(int32_t frames, uint32_t seed);

// The samples of a corpus clip (empty when the corpus is not there), from $SONOCAP_CORPUS_DIR.
std::vector<int16_t> LoadCorpusClip(const std::string& name);
std::vector<std::string> CorpusClipNames();

}  // namespace sonocap::test

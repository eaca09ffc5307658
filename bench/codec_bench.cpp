// Encoder and decoder speed on the full 2048-frame sub-blocks of the corpus clips.
// Run: build/bench/codec_bench (reads the clips of the build's corpus folder;
// SONOCAP_CORPUS_DIR=DIR names another)

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

#include "codec/block_decoder.h"
#include "codec/block_encoder.h"
#include "tests/codec/test_signals.h"

namespace sonocap {
namespace {

constexpr int32_t kSubBlockFrames = 2048;

struct Clip {
    std::vector<int16_t> samples;
    std::vector<std::vector<uint32_t>> packets;  // one per full sub-block
    int64_t subBlocks = 0;
};

const Clip& LoadClip(const std::string& name) {
    static std::map<std::string, Clip> clips;
    Clip& clip = clips[name];
    if (clip.samples.empty()) {
        clip.samples = test::LoadCorpusClip(name);
        clip.subBlocks = static_cast<int64_t>(clip.samples.size() / (2 * kSubBlockFrames));
        for (int64_t s = 0; s < clip.subBlocks; ++s) {
            std::vector<uint32_t> packet(MaxPacketWords(kSubBlockFrames));
            packet.resize(BlockEncoder::encodeBlock(clip.samples.data() + s * 2 * kSubBlockFrames,
                                                    packet.data(), kSubBlockFrames));
            clip.packets.push_back(std::move(packet));
        }
    }
    return clip;
}

void Report(benchmark::State& state, int64_t subBlocks) {
    const double frames = static_cast<double>(state.iterations()) * subBlocks * kSubBlockFrames;
    state.SetBytesProcessed(static_cast<int64_t>(frames * 4));
    state.counters["x_realtime"] =
        benchmark::Counter(frames / 44100.0, benchmark::Counter::kIsRate);
}

void Encode(benchmark::State& state, const std::string& name) {
    const Clip& clip = LoadClip(name);
    if (clip.subBlocks == 0) {
        state.SkipWithError("corpus clip not found; set SONOCAP_CORPUS_DIR");
        return;
    }
    std::vector<uint32_t> packet(MaxPacketWords(kSubBlockFrames));
    for (auto _ : state) {
        for (int64_t s = 0; s < clip.subBlocks; ++s) {
            benchmark::DoNotOptimize(BlockEncoder::encodeBlock(
                clip.samples.data() + s * 2 * kSubBlockFrames, packet.data(), kSubBlockFrames));
        }
        benchmark::ClobberMemory();
    }
    Report(state, clip.subBlocks);
}

void Decode(benchmark::State& state, const std::string& name) {
    const Clip& clip = LoadClip(name);
    if (clip.subBlocks == 0) {
        state.SkipWithError("corpus clip not found; set SONOCAP_CORPUS_DIR");
        return;
    }
    std::vector<int16_t> frames(2 * kMaxBlockFrames);
    for (auto _ : state) {
        for (const std::vector<uint32_t>& packet : clip.packets) {
            benchmark::DoNotOptimize(
                BlockDecoder::decodeBlock(packet.data(), packet.size(), frames.data()));
        }
        benchmark::ClobberMemory();
    }
    Report(state, clip.subBlocks);
}

BENCHMARK_CAPTURE(Encode, d1_speech, std::string("d1_speech_english.wav"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Encode, d2_game_score, std::string("d2_game_score.wav"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Encode, d3_tracker_music, std::string("d3_tracker_music.wav"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Decode, d1_speech, std::string("d1_speech_english.wav"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Decode, d2_game_score, std::string("d2_game_score.wav"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Decode, d3_tracker_music, std::string("d3_tracker_music.wav"))
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace sonocap

BENCHMARK_MAIN();

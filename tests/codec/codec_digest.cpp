// Prints a digest of the packets that the encoder makes of the corpus and of test signals of
// many block sizes, and of what the decoder makes of them. Built against each variant of the
// codec (optimisation levels, with and without the wide vector forms): the digests must agree.

#include <cstdio>
#include <vector>

#include "codec/block_decoder.h"
#include "codec/block_encoder.h"
#include "tests/codec/test_signals.h"

namespace {

uint64_t digest = 1469598103934665603ull;  // FNV-1a

void Mix(const uint32_t* words, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        for (int b = 0; b < 4; ++b) {
            digest ^= (words[i] >> (8 * b)) & 0xFF;
            digest *= 1099511628211ull;
        }
    }
}

void EncodeAll(const std::vector<int16_t>& samples, int32_t blockFrames) {
    std::vector<uint32_t> packet(sonocap::MaxPacketWords(blockFrames));
    for (size_t first = 0; first + 2 * blockFrames <= samples.size(); first += 2 * blockFrames) {
        const uint16_t words = sonocap::BlockEncoder::encodeBlock(
            samples.data() + first, packet.data(), static_cast<int16_t>(blockFrames));
        Mix(packet.data(), words);
        std::vector<int16_t> frames(2 * sonocap::kMaxBlockFrames);
        const sonocap::DecodeResult decoded =
            sonocap::BlockDecoder::decodeBlock(packet.data(), words, frames.data());
        // The frames decoded, as words, and their count.
        Mix(reinterpret_cast<const uint32_t*>(frames.data()),
            static_cast<size_t>(decoded.frameCount));
        const auto count = static_cast<uint32_t>(decoded.frameCount);
        Mix(&count, 1);
    }
}

}  // namespace

int main() {
    using namespace sonocap::test;
    size_t clips = 0;
    for (const std::string& name : CorpusClipNames()) {
        const std::vector<int16_t> clip = LoadCorpusClip(name);
        clips += !clip.empty();
        EncodeAll(clip, 2048);
        EncodeAll(clip, 2047);  // sizes that are not powers of two let single precision decide ties
    }
    for (SignalKind kind : AllSignalKinds()) {
        for (int32_t frames : {1, 2, 3, 5, 6, 7, 12, 100, 1000, 1365, 2047, 8191}) {
            EncodeAll(MakeSignal(kind, frames, static_cast<uint32_t>(frames)), frames);
        }
    }
    std::printf("%zu clips, digest %016llx\n", clips, static_cast<unsigned long long>(digest));
    return clips == CorpusClipNames().size() ? 0 : 1;
}

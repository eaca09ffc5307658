// Any bytes, taken as the little-endian words of a packet: the decoder never reads or writes
// outside them and its frames; a packet it accepts uses exactly its words, and the frames it
// gives encode into a packet that decodes to the same frames.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "codec/block_decoder.h"
#include "codec/block_encoder.h"
#include "codec/little_endian.h"
#include "tests/fuzz/fuzz_check.h"

using namespace sonocap;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Exactly as many words as the input holds, so that the sanitizers see any read beyond.
    std::vector<uint32_t> words(size / 4);
    for (size_t i = 0; i < words.size(); ++i) words[i] = LoadLE32(data + 4 * i);
    std::vector<int16_t> frames(2 * kMaxBlockFrames);
    const DecodeResult result =
        BlockDecoder::decodeBlock(words.data(), words.size(), frames.data());
    if (result.status != DecodeStatus::Ok) {
        FUZZ_CHECK(result.frameCount == 0);
        return 0;
    }
    FUZZ_CHECK(static_cast<size_t>(result.wordsUsed) == words.size());
    FUZZ_CHECK(result.frameCount >= 0 && result.frameCount <= kMaxBlockFrames);

    std::vector<uint32_t> packet(MaxPacketWords(result.frameCount));
    const uint16_t count = BlockEncoder::encodeBlock(frames.data(), packet.data(),
                                                     static_cast<int16_t>(result.frameCount));
    FUZZ_CHECK(count <= packet.size());
    std::vector<int16_t> again(2 * kMaxBlockFrames);
    const DecodeResult second = BlockDecoder::decodeBlock(packet.data(), count, again.data());
    FUZZ_CHECK(second.status == DecodeStatus::Ok);
    FUZZ_CHECK(second.frameCount == result.frameCount);
    FUZZ_CHECK(
        std::memcmp(frames.data(), again.data(), 4 * static_cast<size_t>(result.frameCount)) == 0);
    return 0;
}

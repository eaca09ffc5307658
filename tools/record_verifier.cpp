#include "tools/record_verifier.h"

#include "codec/block_decoder.h"

namespace sonocap {

std::optional<std::string> RecordVerifier::Check(const void* bytes, int32_t byteCount,
                                                 const int16_t* expected, int32_t frameCount) {
    const auto* p = static_cast<const uint8_t*>(bytes);
    const auto wordCount = static_cast<size_t>(byteCount / 4);
    if (byteCount % 4 != 0 || wordCount > static_cast<size_t>(kPacketAreaWords)) {
        return "has " + std::to_string(byteCount) + " bytes, not a packet's whole words";
    }
    const DecodeResult result = BlockDecoder::decodeStoredBlock(p, wordCount, decoded_);
    if (result.status != DecodeStatus::Ok) {
        return std::string("does not decode: ") + DecodeStatusText(result.status);
    }
    if (result.frameCount != frameCount) {
        return "decodes to " + std::to_string(result.frameCount) + " frames instead of " +
               std::to_string(frameCount);
    }
    for (int32_t i = 0; i < 2 * frameCount; ++i) {
        if (decoded_[i] != expected[i]) {
            return "decodes frame " + std::to_string(i / 2) + " of the record to " +
                   std::to_string(decoded_[i]) + " instead of " + std::to_string(expected[i]);
        }
    }
    return std::nullopt;
}

}  // namespace sonocap

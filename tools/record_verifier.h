#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "codec/block_encoder.h"
#include "codec/capture_buffer_encoding.h"

namespace sonocap {

// Decodes the words of one record as they go to the file (little-endian bytes) and compares
// them with the frames they were made from: encode's --verify.
class RecordVerifier {
  public:
    // Empty when the words decode to exactly `frameCount` frames equal to `expected`
    // (interleaved, host order); otherwise what was wrong.
    std::optional<std::string> Check(const void* bytes, int32_t byteCount, const int16_t* expected,
                                     int32_t frameCount);

  private:
    int16_t decoded_[2 * kMaxBlockFrames];
};

}  // namespace sonocap

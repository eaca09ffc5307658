#pragma once

#include <cstddef>
#include <cstdint>

// Reads one Compaxa packet back into stereo frames. The reader is strict: a packet decodes only
// when its header is well formed and its codes consume exactly its words, with zero padding.

namespace sonocap {

enum class DecodeStatus {
    Ok,
    EmptyPacket,      // no header word
    TooManyFrames,    // the header's frame count exceeds the largest block
    BadCodeLength,    // a code length field of 16
    ReservedBitsSet,  // header bits 26-31 are not zero
    Truncated,        // the codes need more words than the packet has
    TrailingWords,    // the packet has words beyond the last code
    NonZeroPadding,   // unused bits of the last word are not zero
};

const char* DecodeStatusText(DecodeStatus status);

struct DecodeResult {
    DecodeStatus status = DecodeStatus::Ok;
    int32_t frameCount = 0;  // frames written to the output (0 unless status is Ok)
    int32_t wordsUsed = 0;   // words the codes need, header included, as far as the reader got
};

namespace BlockDecoder {

// Decodes the packet words[0 .. wordCount-1] (host-order words) into interleaved stereo frames.
// `frames` must have room for kMaxBlockFrames frames. Never reads outside the given words.
DecodeResult decodeBlock(const uint32_t* words, size_t wordCount, int16_t* frames);

// The same for a packet as a file stores it: its words as little-endian bytes, 4 * wordCount of
// them, at any alignment. Never reads outside those bytes.
DecodeResult decodeStoredBlock(const uint8_t* bytes, size_t wordCount, int16_t* frames);

}  // namespace BlockDecoder

}  // namespace sonocap

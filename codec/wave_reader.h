#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "codec/byte_window.h"
#include "codec/file_error.h"

// Finds the format and the samples of a RIFF/WAVE file, whatever its chunk layout:
// unknown chunks are skipped and odd-sized chunks honour their pad byte.

namespace sonocap {

inline constexpr uint16_t kWaveFormatPcm = 1;
inline constexpr uint16_t kWaveFormatExtensible = 0xFFFE;

struct WaveLayout {
    uint16_t formatTag = 0;  // for an extensible header, the tag of its sub-format
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint16_t bitsPerSample = 0;
    uint16_t blockAlign = 0;
    uint64_t dataOffset = 0;         // first byte of the samples
    uint32_t declaredDataBytes = 0;  // the data chunk's size field
    uint64_t presentDataBytes = 0;   // bytes of the data chunk that the file holds
};

// Reads the layout up to the samples; an error names the offset of the fault. Through a window,
// the samples of a stream are not counted yet: presentDataBytes holds the declared size.
std::optional<FileError> ReadWaveLayout(ByteWindow& window, WaveLayout& layout);
std::optional<FileError> ReadWaveLayout(const uint8_t* data, size_t size, WaveLayout& layout);

// Walks whole chunks from `from` (header and body, and the pad byte of an odd body, within the
// input) and returns where the walk stopped: the input's length when the chunks fill the rest
// exactly.
uint64_t EndOfWholeChunks(ByteWindow& window, uint64_t from);
uint64_t EndOfWholeChunks(const uint8_t* data, size_t size, uint64_t from);

// PCM, 2 channels, 44 100 Hz, 16 bits: the one format a recording has.
bool IsRecordingFormat(const WaveLayout& layout);

// "PCM, 2 channels, 44100 Hz, 16 bits", for messages.
std::string DescribeWaveFormat(const WaveLayout& layout);

// "<its format> is not a recording's format (PCM, 2 channels, 44100 Hz, 16 bits)".
std::string NotRecordingFormatText(const WaveLayout& layout);

}  // namespace sonocap

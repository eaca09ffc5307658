#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "codec/byte_window.h"
#include "codec/compressed_file_reader.h"
#include "codec/file_error.h"
#include "codec/wave_reader.h"

// The full checks of the two recording formats, read front to back through a window of fixed
// size. A file passes only when every rule holds: for Compaxa the header, both word counts of
// every record, every packet decoding to exactly its words, and the sizes; for WAV the
// recording's format and size fields that describe exactly the bytes of the file.

namespace sonocap {

enum class RecordingKind { Unknown, Wave, Compressed };

// What the first bytes say the file is meant to be, before any check.
RecordingKind RecognizeRecording(const uint8_t* data, size_t size);
RecordingKind RecognizeRecording(ByteWindow& window);

// Called for each record in file order with its decoded frames (interleaved, host order) and the
// index of its first frame in the recording; an error stops the walk and is returned.
using RecordVisitor = std::function<std::optional<FileError>(
    const DecodedRecord& record, const int16_t* frames, uint64_t firstFrame)>;

// Called for each piece of a WAV's samples in file order: whole frames, little-endian.
using SampleVisitor = std::function<void(const uint8_t* samples, size_t frames)>;

struct CompressedCheck {
    CompressedHeaderFields header;
    uint64_t records = 0;
    uint64_t frames = 0;
};

std::optional<FileError> CheckCompressedFile(ByteWindow& window, CompressedCheck& check,
                                             const RecordVisitor& visit = nullptr);
std::optional<FileError> CheckCompressedFile(const uint8_t* data, size_t size,
                                             CompressedCheck& check,
                                             const RecordVisitor& visit = nullptr);

// On success `layout` describes the file; the data chunk then ends the RIFF form exactly, or is
// followed by whole chunks only.
std::optional<FileError> CheckWaveFile(ByteWindow& window, WaveLayout& layout,
                                       const SampleVisitor& visit = nullptr);
std::optional<FileError> CheckWaveFile(const uint8_t* data, size_t size, WaveLayout& layout);

// The message of a fault that is an unfinished recording's, which repair mends.
inline constexpr char kNeverFinished[] = "the recording was never finished";

}  // namespace sonocap

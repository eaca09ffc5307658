#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "codec/compressed_file_reader.h"
#include "codec/file_error.h"
#include "codec/wave_reader.h"

// The full checks of the two recording formats that verify, info and repair share. A file passes
// only when every rule holds: for Compaxa the header, both word counts of every record, every
// packet decoding to exactly its words, and the sizes; for WAV the recording's format and size
// fields that describe exactly the bytes of the file.

namespace sonocap {

enum class RecordingKind { Unknown, Wave, Compressed };

// What the first bytes say the file is meant to be, before any check.
RecordingKind RecognizeRecording(const uint8_t* data, size_t size);

// Called for each record in file order with its decoded frames (interleaved, host order) and the
// index of its first frame in the recording; an error stops the walk and is returned.
using RecordVisitor = std::function<std::optional<FileError>(
    const DecodedRecord& record, const int16_t* frames, uint64_t firstFrame)>;

struct CompressedCheck {
    CompressedHeaderFields header;
    uint64_t records = 0;
    uint64_t frames = 0;
};

std::optional<FileError> CheckCompressedFile(const uint8_t* data, size_t size,
                                             CompressedCheck& check,
                                             const RecordVisitor& visit = nullptr);

// On success `layout` describes the file; the data chunk then ends the RIFF form exactly.
std::optional<FileError> CheckWaveFile(const uint8_t* data, size_t size, WaveLayout& layout);

// An error about a file whose sizes say it was never finished gains a pointer to the cure.
inline FileError WithRepairHint(FileError error) {
    if (error.message.find("never finished") != std::string::npos) {
        error.message += " (sonocap-cx repair rebuilds the header)";
    }
    return error;
}

}  // namespace sonocap

#include "tools/recording_check.h"

#include <cstring>
#include <string>
#include <vector>

#include "codec/compressed_header.h"
#include "codec/little_endian.h"
#include "codec/wave_header.h"

namespace sonocap {

RecordingKind RecognizeRecording(const uint8_t* data, size_t size) {
    if (size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WAVE", 4) == 0) {
        return RecordingKind::Wave;
    }
    if (size >= 4 && LoadLE32(data) == kCompressedMagic) return RecordingKind::Compressed;
    return RecordingKind::Unknown;
}

std::optional<FileError> CheckCompressedFile(const uint8_t* data, size_t size,
                                             CompressedCheck& check, const RecordVisitor& visit) {
    check = CompressedCheck{};
    CompressedFileReader reader(data, size);
    if (auto error = reader.ReadHeader()) return error;
    check.header = reader.Header();
    std::vector<int16_t> frames(2 * kMaxBlockFrames);
    while (!reader.AtEnd()) {
        const uint64_t firstFrame = reader.framesDecoded();
        DecodedRecord record;
        if (auto error = reader.ReadRecord(frames.data(), record)) return error;
        ++check.records;
        if (visit) {
            if (auto error = visit(record, frames.data(), firstFrame)) return error;
        }
    }
    check.frames = reader.framesDecoded();
    return reader.Finish();
}

std::optional<FileError> CheckWaveFile(const uint8_t* data, size_t size, WaveLayout& layout) {
    if (auto error = ReadWaveLayout(data, size, layout)) return error;
    if (!IsRecordingFormat(layout)) {
        return FileError{20, NotRecordingFormatText(layout)};
    }
    const uint64_t dataSizeField = layout.dataOffset - 4;
    const uint64_t after = size - layout.dataOffset;
    const uint64_t declared = layout.declaredDataBytes;
    // Chunks after the samples (such as LIST) are part of a valid file; anything else is not.
    const bool chunksFollow =
        declared <= after && EndOfWholeChunks(data, size, layout.dataOffset + declared) == size;
    if (declared == 0 && after > 0 && !chunksFollow) {
        return FileError{dataSizeField, "data size field is 0 but " + std::to_string(after) +
                                            " bytes follow: the recording was never finished"};
    }
    if (!chunksFollow) {
        return FileError{dataSizeField, "data size field " + std::to_string(declared) +
                                            " does not match the " + std::to_string(after) +
                                            " bytes after the data chunk's header"};
    }
    if (declared % kBytesPerFrame != 0) {
        return FileError{dataSizeField, "data size " + std::to_string(declared) +
                                            " is not a whole number of frames"};
    }
    const uint32_t riffSize = LoadLE32(data + 4);
    if (uint64_t{riffSize} + 8 != size) {
        return FileError{4, "RIFF size field " + std::to_string(riffSize) +
                                " does not match the file's length " + std::to_string(size) +
                                " (expected " + std::to_string(size - 8) + ")"};
    }
    return std::nullopt;
}

}  // namespace sonocap

#include "codec/recording_check.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "codec/compressed_header.h"
#include "codec/little_endian.h"
#include "codec/wave_header.h"

namespace sonocap {

namespace {

// Samples are handed out this many bytes at a time.
constexpr size_t kSamplePiece = 64 << 10;

}  // namespace

RecordingKind RecognizeRecording(const uint8_t* data, size_t size) {
    if (size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WAVE", 4) == 0) {
        return RecordingKind::Wave;
    }
    if (size >= 4 && LoadLE32(data) == kCompressedMagic) return RecordingKind::Compressed;
    return RecordingKind::Unknown;
}

RecordingKind RecognizeRecording(ByteWindow& window) {
    const size_t got = window.Reach(0, 12);
    return RecognizeRecording(window.At(0), got);
}

std::optional<FileError> CheckCompressedFile(ByteWindow& window, CompressedCheck& check,
                                             const RecordVisitor& visit) {
    check = CompressedCheck{};
    CompressedFileReader reader(window);
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

std::optional<FileError> CheckCompressedFile(const uint8_t* data, size_t size,
                                             CompressedCheck& check, const RecordVisitor& visit) {
    ByteWindow window(data, size);
    return CheckCompressedFile(window, check, visit);
}

std::optional<FileError> CheckWaveFile(ByteWindow& window, WaveLayout& layout,
                                       const SampleVisitor& visit) {
    const uint32_t riffSize = window.Reach(0, 8) == 8 ? LoadLE32(window.At(4)) : 0;
    if (auto error = ReadWaveLayout(window, layout)) return error;
    if (!IsRecordingFormat(layout)) {
        return FileError{20, NotRecordingFormatText(layout)};
    }
    const uint64_t dataSizeField = layout.dataOffset - 4;
    const uint64_t declared = layout.declaredDataBytes;
    // The samples, read through: a stream's are counted here.
    uint64_t present = 0;
    while (present < declared) {
        const size_t want =
            static_cast<size_t>(std::min<uint64_t>(kSamplePiece, declared - present));
        const size_t got = window.Reach(layout.dataOffset + present, want);
        if (visit && got >= kBytesPerFrame)
            visit(window.At(layout.dataOffset + present), got / kBytesPerFrame);
        present += got;
        if (got < want) break;
    }
    if (window.Error()) return FileError{layout.dataOffset + present, *window.Error()};
    layout.presentDataBytes = present;
    // Chunks after the samples (such as LIST) are part of a valid file; anything else is not.
    const bool allThere = present == declared;
    const uint64_t chunksEnd =
        allThere ? EndOfWholeChunks(window, layout.dataOffset + declared) : 0;
    const uint64_t size = window.Length();
    if (window.Error()) return FileError{size, *window.Error()};
    const uint64_t after = size - layout.dataOffset;
    const bool chunksFollow = allThere && chunksEnd == size;
    if (declared == 0 && after > 0 && !chunksFollow) {
        return FileError{dataSizeField, "data size field is 0 but " + std::to_string(after) +
                                            " bytes follow: " + kNeverFinished};
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
    if (uint64_t{riffSize} + 8 != size) {
        return FileError{4, "RIFF size field " + std::to_string(riffSize) +
                                " does not match the file's length " + std::to_string(size) +
                                " (expected " + std::to_string(size - 8) + ")"};
    }
    return std::nullopt;
}

std::optional<FileError> CheckWaveFile(const uint8_t* data, size_t size, WaveLayout& layout) {
    ByteWindow window(data, size);
    return CheckWaveFile(window, layout);
}

}  // namespace sonocap

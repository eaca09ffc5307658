#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "codec/block_decoder.h"
#include "codec/block_encoder.h"
#include "codec/byte_window.h"
#include "codec/file_error.h"
#include "codec/sub_block_record.h"

// Reads a Compaxa file front to back through a window of fixed size: the 40-byte header, then the
// records up to the header's file size, each framed by its word count W before and after and
// holding one packet that must decode by itself. Every fault is reported with the offset where it
// was found.

namespace sonocap {

struct CompressedHeaderFields {
    uint32_t magic = 0;
    uint32_t fileSize = 0;
    uint32_t uncompressedSize = 0;
    uint32_t nominalSubBlockFrames = 0;
    uint32_t sampleRate = 0;
    uint16_t bitsPerSample = 0;
    uint16_t channels = 0;
};

CompressedHeaderFields ParseCompressedHeader(const uint8_t* header);

// One record that framed well and decoded.
struct DecodedRecord {
    uint64_t offset = 0;      // of the record's leading W
    uint16_t wordCount = 0;   // W
    uint32_t headerWord = 0;  // the packet's word 0 (code lengths and orders)
    int32_t frameCount = 0;   // frames decoded into the caller's area
};

// The uncompressed size field must be 4 bytes for every frame of the records.
std::optional<FileError> CheckUncompressedSize(const CompressedHeaderFields& header,
                                               uint64_t frames);

// The longest record there can be, in bytes.
inline constexpr uint64_t kLongestRecordBytes = RecordBytes(MaxPacketWords(kMaxBlockFrames));

class CompressedFileReader {
  public:
    // A file whose `size` bytes are all in memory.
    CompressedFileReader(const uint8_t* data, size_t size);
    // A file or stream read through `window`, which outlives the reader and is read by it alone.
    explicit CompressedFileReader(ByteWindow& window) : window_(&window) {}
    CompressedFileReader(const CompressedFileReader&) = delete;
    CompressedFileReader& operator=(const CompressedFileReader&) = delete;

    // Checks the header: magic, constants, and a file size equal to the file's length.
    std::optional<FileError> ReadHeader();

    // Checks the magic and the constants only, and takes the records up to the end of the bytes
    // whatever the size fields say: for a recording whose header was never finished or is wrong.
    std::optional<FileError> ReadHeaderToEnd();

    // Goes on with the record at `offset`, past a damaged stretch (after ReadHeaderToEnd), or
    // past a record framed by FrameRecord. Never back.
    void SkipTo(uint64_t offset) { offset_ = offset; }

    // True once the records have reached the header's file size (after ReadHeaderToEnd: the end
    // of the input).
    bool AtEnd();

    // Frames and decodes the next record into `frames` (room for kMaxBlockFrames frames).
    std::optional<FileError> ReadRecord(int16_t* frames, DecodedRecord& record);

    // Frames the next record by its word counts without decoding it or moving on: `bytes` then
    // points at its leading W, valid until the reader is used again.
    std::optional<FileError> FrameRecord(const uint8_t*& bytes, DecodedRecord& record);

    // Decodes the packet of a record that FrameRecord framed, where it lies; sets
    // record.headerWord and frameCount.
    static std::optional<FileError> DecodeFramedRecord(const uint8_t* bytes, DecodedRecord& record,
                                                       int16_t* frames);

    // After the last record: the input must end at the header's file size (a stream's length is
    // known only now), and the uncompressed size must be 4 bytes for every frame decoded.
    std::optional<FileError> Finish();
    // The first of the two alone.
    std::optional<FileError> CheckInputEnds();

    const CompressedHeaderFields& Header() const { return header_; }
    uint64_t framesDecoded() const { return frames_; }
    uint64_t offset() const { return offset_; }

  private:
    std::optional<FileError> ReadConstants();
    FileError LengthMismatch();

    std::optional<ByteWindow> ownWindow_;
    ByteWindow* window_;
    CompressedHeaderFields header_;
    uint64_t offset_ = 0;
    uint64_t end_ = 0;              // UINT64_MAX: the end of the input
    bool lengthUnchecked_ = false;  // a stream: the file size is checked against it at the end
    uint64_t frames_ = 0;
};

}  // namespace sonocap

#include "codec/record_scan.h"

#include <cstring>
#include <vector>

#include "codec/block_encoder.h"
#include "codec/compressed_file_reader.h"
#include "codec/little_endian.h"
#include "codec/sub_block_record.h"

namespace sonocap {

namespace {

bool IsTornRecord(const uint8_t* data, size_t size, uint64_t at) {
    if (size - at < 2) return true;
    const uint16_t wordCount = LoadLE16(data + at);
    return wordCount != 0 && wordCount <= MaxPacketWords(kMaxBlockFrames) &&
           RecordBytes(wordCount) > size - at;
}

// The first offset from `from` on where a record frames well and its packet decodes.
std::optional<uint64_t> NextValidRecord(const uint8_t* data, size_t size, uint64_t from,
                                        int16_t* frames) {
    for (uint64_t at = from; at + kRecordFramingBytes <= size; ++at) {
        const uint16_t wordCount = LoadLE16(data + at);
        if (wordCount == 0) {
            // Long runs of zeros (a sparse or preallocated tail) are passed eight bytes at a time.
            uint64_t word = 0;
            while (at + 9 <= size && (std::memcpy(&word, data + at + 1, 8), word == 0)) at += 7;
            continue;
        }
        if (wordCount > MaxPacketWords(kMaxBlockFrames)) continue;
        const uint64_t bytes = RecordBytes(wordCount);
        if (bytes > size - at || LoadLE16(data + at + bytes - 2) != wordCount) continue;
        CompressedFileReader reader(data, size);
        if (reader.ReadHeaderToEnd()) return std::nullopt;
        reader.SkipTo(at);
        DecodedRecord record;
        if (!reader.ReadRecord(frames, record)) return at;
    }
    return std::nullopt;
}

}  // namespace

std::optional<FileError> ScanRecords(const uint8_t* data, size_t size, RecordScan& scan) {
    scan = RecordScan{};
    CompressedFileReader reader(data, size);
    if (auto error = reader.ReadHeaderToEnd()) return error;
    std::vector<int16_t> frames(2 * kMaxBlockFrames);
    while (!reader.AtEnd()) {
        DecodedRecord record;
        if (auto error = reader.ReadRecord(frames.data(), record)) {
            scan.stop = std::move(error);
            scan.tornRecord = IsTornRecord(data, size, reader.offset());
            break;
        }
        ++scan.records;
    }
    scan.validEnd = reader.offset();
    scan.frames = reader.framesDecoded();
    if (!scan.stop) return std::nullopt;
    scan.resumeAt = NextValidRecord(data, size, scan.validEnd + 1, frames.data());
    if (scan.resumeAt) {
        CompressedFileReader after(data, size);
        after.ReadHeaderToEnd();
        after.SkipTo(*scan.resumeAt);
        DecodedRecord record;
        while (!after.AtEnd() && !after.ReadRecord(frames.data(), record)) {
        }
        scan.framesAfter = after.framesDecoded();
    }
    return std::nullopt;
}

}  // namespace sonocap

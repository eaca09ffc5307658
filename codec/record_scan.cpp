#include "codec/record_scan.h"

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
    return std::nullopt;
}

}  // namespace sonocap

#include "codec/record_scan.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "codec/block_encoder.h"
#include "codec/compressed_file_reader.h"
#include "codec/little_endian.h"
#include "codec/sub_block_record.h"

namespace sonocap {

namespace {

// Whether the bytes at `at` (`left` of them, all that the input holds there when fewer than the
// longest record) are the start of one record cut short.
bool IsTornRecord(const uint8_t* p, uint64_t left) {
    if (left < 2) return true;
    const uint16_t wordCount = LoadLE16(p);
    return wordCount != 0 && wordCount <= MaxPacketWords(kMaxBlockFrames) &&
           RecordBytes(wordCount) > left;
}

// The first offset from `from` on where a record frames well and its packet decodes.
std::optional<uint64_t> NextValidRecord(ByteWindow& window, uint64_t from, int16_t* frames,
                                        uint32_t* packet) {
    for (uint64_t at = from;; ++at) {
        const size_t left = window.Reach(at, kLongestRecordBytes);
        if (left < static_cast<size_t>(kRecordFramingBytes)) return std::nullopt;
        const uint8_t* p = window.At(at);
        const uint16_t wordCount = LoadLE16(p);
        if (wordCount == 0) {
            // Long runs of zeros (a sparse or preallocated tail) are passed eight bytes at a time.
            uint64_t word = 0;
            size_t k = 0;
            while (k + 9 <= left && (std::memcpy(&word, p + k + 1, 8), word == 0)) k += 7;
            at += k;
            continue;
        }
        if (wordCount > MaxPacketWords(kMaxBlockFrames)) continue;
        const uint64_t bytes = RecordBytes(wordCount);
        if (bytes > left || LoadLE16(p + bytes - 2) != wordCount) continue;
        DecodedRecord record{at, wordCount, 0, 0};
        if (!CompressedFileReader::DecodeFramedRecord(p, record, frames, packet)) return at;
    }
}

}  // namespace

std::optional<FileError> ScanRecords(ByteWindow& window, RecordScan& scan) {
    scan = RecordScan{};
    CompressedFileReader reader(window);
    if (auto error = reader.ReadHeaderToEnd()) return error;
    std::vector<int16_t> frames(2 * kMaxBlockFrames);
    std::vector<uint32_t> packet(MaxPacketWords(kMaxBlockFrames));
    while (!reader.AtEnd()) {
        DecodedRecord record;
        if (auto error = reader.ReadRecord(frames.data(), record)) {
            scan.stop = std::move(error);
            if (window.Error()) return scan.stop;
            const size_t left = window.Reach(reader.offset(), kLongestRecordBytes);
            scan.tornRecord = IsTornRecord(window.At(reader.offset()), left);
            break;
        }
        ++scan.records;
    }
    scan.validEnd = reader.offset();
    scan.frames = reader.framesDecoded();
    if (!scan.stop) {
        scan.length = window.Length();
        return std::nullopt;
    }
    scan.resumeAt = NextValidRecord(window, scan.validEnd + 1, frames.data(), packet.data());
    if (scan.resumeAt) {
        reader.SkipTo(*scan.resumeAt);
        DecodedRecord record;
        while (!reader.AtEnd() && !reader.ReadRecord(frames.data(), record)) {
        }
        scan.framesAfter = reader.framesDecoded() - scan.frames;
    }
    if (window.Error()) return FileError{window.Length(), *window.Error()};
    scan.length = window.Length();
    return std::nullopt;
}

std::optional<FileError> ScanRecords(const uint8_t* data, size_t size, RecordScan& scan) {
    ByteWindow window(data, size);
    return ScanRecords(window, scan);
}

}  // namespace sonocap

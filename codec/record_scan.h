#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "codec/byte_window.h"
#include "codec/compressed_header.h"
#include "codec/file_error.h"

// How far the valid records of a Compaxa file reach when they are walked to the end of the bytes
// on disk instead of to the header's file size: what a recording that never reached its stop
// still holds. Any prefix of whole valid records is itself a valid recording.

namespace sonocap {

struct RecordScan {
    uint64_t validEnd = kCompressedHeaderBytes;  // just past the last record that decoded
    uint64_t records = 0;                        // records before validEnd
    uint64_t frames = 0;                         // frames of those records
    // Why the walk stopped before the end of the bytes; empty when the records fill them exactly.
    std::optional<FileError> stop;
    // The bytes after validEnd are the start of one record cut short: its word count, or a word
    // count whose record runs past the end. Anything else there is not a record.
    bool tornRecord = false;
    // Where whole valid records start again after the stop, if anywhere: damage in the middle of
    // a recording rather than its end; and the frames of the valid records from there on.
    std::optional<uint64_t> resumeAt;
    uint64_t framesAfter = 0;
    uint64_t length = 0;  // of the whole input
};

// Walks the records behind a header with the right magic and constants (whatever its size
// fields say). Fails only when the header itself is not that of a Compaxa file, or the input
// cannot be read. The window is read to its end.
std::optional<FileError> ScanRecords(ByteWindow& window, RecordScan& scan);
std::optional<FileError> ScanRecords(const uint8_t* data, size_t size, RecordScan& scan);

}  // namespace sonocap

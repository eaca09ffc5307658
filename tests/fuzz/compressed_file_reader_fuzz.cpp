// Any bytes as a Compaxa file: the strict reader and the record scan of repair never read
// outside the file, stop with an offset inside it, and agree on a file the strict reader accepts.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/compressed_file_reader.h"
#include "codec/record_scan.h"
#include "tests/fuzz/fuzz_check.h"

using namespace sonocap;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly the input's size, so that the sanitizers see any read beyond it.
    const std::vector<uint8_t> file(data, data + size);
    std::vector<int16_t> frames(2 * kMaxBlockFrames);

    CompressedFileReader reader(file.data(), file.size());
    std::optional<FileError> error = reader.ReadHeader();
    uint64_t records = 0;
    while (!error && !reader.AtEnd()) {
        DecodedRecord record;
        error = reader.ReadRecord(frames.data(), record);
        if (!error) {
            FUZZ_CHECK(record.frameCount >= 0 && record.frameCount <= kMaxBlockFrames);
            FUZZ_CHECK(record.offset < size);
            ++records;
        }
    }
    if (!error) error = reader.Finish();
    if (error) FUZZ_CHECK(error->offset <= size && !error->message.empty());

    RecordScan scan;
    const std::optional<FileError> scanError = ScanRecords(file.data(), file.size(), scan);
    if (scanError) {
        FUZZ_CHECK(scanError->offset <= size);
        return 0;
    }
    FUZZ_CHECK(scan.validEnd <= size);
    FUZZ_CHECK(scan.stop.has_value() == (scan.validEnd < size));
    if (!error) {
        FUZZ_CHECK(!scan.stop && scan.validEnd == size);
        FUZZ_CHECK(scan.records == records && scan.frames == reader.framesDecoded());
    }
    return 0;
}

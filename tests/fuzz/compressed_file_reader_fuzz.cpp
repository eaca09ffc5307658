// Any bytes as a Compaxa file: the strict reader never reads outside the file and stops with an
// offset inside it; the full check read through a small window, from a file or a pipe, finds
// what it finds in memory.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/compressed_file_reader.h"
#include "codec/recording_check.h"
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

    for (const bool lengthKnown : {true, false}) {
        PieceSource source(file.data(), file.size(), lengthKnown);
        ByteWindow window(source, kFuzzWindowBytes);
        CompressedCheck check;
        const std::optional<FileError> streamed = CheckCompressedFile(window, check);
        FUZZ_CHECK(streamed.has_value() == error.has_value());
        if (!error) {
            FUZZ_CHECK(check.records == records && check.frames == reader.framesDecoded());
        } else if (lengthKnown) {
            FUZZ_CHECK(streamed->offset == error->offset && streamed->message == error->message);
        } else {
            FUZZ_CHECK(streamed->offset <= size && !streamed->message.empty());
        }
    }
    return 0;
}

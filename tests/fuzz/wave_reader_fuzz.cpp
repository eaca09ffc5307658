// Any bytes as a WAV file: the layout reader never reads outside the file, and the samples it
// finds lie inside it; the full check read through a small window, from a file or a pipe, finds
// what it finds in memory.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/recording_check.h"
#include "codec/wave_reader.h"
#include "tests/fuzz/fuzz_check.h"

using namespace sonocap;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> file(data, data + size);
    WaveLayout layout;
    if (auto error = ReadWaveLayout(file.data(), file.size(), layout)) {
        FUZZ_CHECK(error->offset <= size && !error->message.empty());
    } else {
        FUZZ_CHECK(layout.dataOffset <= size);
        FUZZ_CHECK(layout.presentDataBytes <= size - layout.dataOffset);
        FUZZ_CHECK(layout.presentDataBytes <= layout.declaredDataBytes);
        FUZZ_CHECK(!DescribeWaveFormat(layout).empty());
        IsRecordingFormat(layout);
    }

    WaveLayout checked;
    const std::optional<FileError> error = CheckWaveFile(file.data(), file.size(), checked);
    for (const bool lengthKnown : {true, false}) {
        PieceSource source(file.data(), file.size(), lengthKnown);
        ByteWindow window(source, kFuzzWindowBytes);
        WaveLayout streamedLayout;
        uint64_t visited = 0;
        const std::optional<FileError> streamed = CheckWaveFile(
            window, streamedLayout, [&](const uint8_t*, size_t frames) { visited += frames; });
        FUZZ_CHECK(streamed.has_value() == error.has_value());
        if (!error) {
            FUZZ_CHECK(streamedLayout.dataOffset == checked.dataOffset);
            FUZZ_CHECK(visited == checked.declaredDataBytes / 4);
        } else {
            FUZZ_CHECK(streamed->offset == error->offset && streamed->message == error->message);
        }
    }
    return 0;
}

// Any bytes as a WAV file: the layout reader never reads outside the file, and the samples it
// finds lie inside it.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/wave_reader.h"
#include "tests/fuzz/fuzz_check.h"

using namespace sonocap;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> file(data, data + size);
    WaveLayout layout;
    if (auto error = ReadWaveLayout(file.data(), file.size(), layout)) {
        FUZZ_CHECK(error->offset <= size && !error->message.empty());
        return 0;
    }
    FUZZ_CHECK(layout.dataOffset <= size);
    FUZZ_CHECK(layout.presentDataBytes <= size - layout.dataOffset);
    FUZZ_CHECK(layout.presentDataBytes <= layout.declaredDataBytes);
    FUZZ_CHECK(!DescribeWaveFormat(layout).empty());
    IsRecordingFormat(layout);
    return 0;
}

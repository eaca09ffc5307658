#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "codec/file_error.h"
#include "codec/wave_reader.h"
#include "tools/report.h"

// The WAV file that encode reads front to back, from a file or a pipe: its chunks up to the
// samples are read and checked first, the samples then come in pieces.

namespace sonocap {

class InputFile;

struct WaveStream {
    WaveLayout layout;
    std::vector<uint8_t> head;  // the bytes read so far; the samples start at layout.dataOffset
    // The samples run to the end of the input: a pipe whose WAV says "length unknown".
    bool toEnd = false;
    uint64_t dataBytes = 0;    // the samples to read, when !toEnd
    uint64_t samplesRead = 0;  // bytes of samples handed out so far
};

// Reads and checks the head of the WAV: a recording's format, a data size that the input can
// hold in whole frames, not an unfinished recording. A fault is told with its offset.
Outcome OpenWaveStream(InputFile& in, WaveStream& stream);

// Up to `bytes` more bytes of samples into `into`; fewer only at the end of the samples. An input
// that ends before the data size it declared is a failure.
Outcome ReadSamples(InputFile& in, WaveStream& stream, uint8_t* into, size_t bytes, size_t& got);

// After the samples: the rest of the input must be whole chunks (LIST and the like). Other bytes
// there are samples behind a data size written short, as info and verify report them.
Outcome CheckAfterSamples(InputFile& in, WaveStream& stream);

}  // namespace sonocap

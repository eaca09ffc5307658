#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Reading back the recordings that the engine wrote.

namespace sonocap::test {

std::vector<uint8_t> ReadFileBytes(const std::string& path);

struct ReadBack {
    bool ok = false;
    std::string error;             // why the file did not read back
    std::vector<int16_t> samples;  // interleaved stereo
    uint32_t sizeField = 0;        // RIFF chunk size, or the Compaxa file size
    uint32_t dataField = 0;        // data chunk size, or the uncompressed size
    uint64_t fileBytes = 0;
    int records = 0;  // Compaxa records
    std::vector<int32_t> recordFrames;
};

// A finished WAV file through our reader: recording format, header sizes equal to the length.
ReadBack ReadWaveRecording(const std::string& path);
// The samples of a WAV file as sox reads them; ok false when sox refuses the file.
ReadBack ReadWaveWithSox(const std::string& path);
// A finished Compaxa file through our reader and decoder.
ReadBack ReadCompressedRecording(const std::string& path);
// A finished recording of either kind, as the two readers above read it.
ReadBack ReadBackRecording(bool compressed, const std::string& path);

}  // namespace sonocap::test

#include "tests/engine/recording_files.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include "codec/compressed_file_reader.h"
#include "codec/wave_reader.h"

namespace sonocap::test {

namespace {

uint32_t Le32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

ReadBack ReadWaveRecording(const std::string& path) {
    ReadBack result;
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    result.fileBytes = bytes.size();
    WaveLayout layout;
    if (const auto error = ReadWaveLayout(bytes.data(), bytes.size(), layout)) {
        result.error = "offset " + std::to_string(error->offset) + ": " + error->message;
        return result;
    }
    if (!IsRecordingFormat(layout)) {
        result.error = "format " + DescribeWaveFormat(layout);
        return result;
    }
    result.sizeField = Le32(bytes.data() + 4);
    result.dataField = layout.declaredDataBytes;
    if (layout.dataOffset != 44 || result.sizeField != bytes.size() - 8 ||
        result.dataField != bytes.size() - 44) {
        result.error = "header sizes do not match the length " + std::to_string(bytes.size());
        return result;
    }
    result.samples.resize(layout.presentDataBytes / 2);
    for (size_t i = 0; i < result.samples.size(); ++i) {
        const uint8_t* p = bytes.data() + layout.dataOffset + 2 * i;
        result.samples[i] = static_cast<int16_t>(p[0] | (p[1] << 8));
    }
    result.ok = true;
    return result;
}

ReadBack ReadWaveWithSox(const std::string& path) {
    ReadBack result;
    const std::string command = "sox -V1 '" + path + "' -t raw -e signed -b 16 -L -";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        result.error = "cannot run sox";
        return result;
    }
    uint8_t pair[2];
    while (std::fread(pair, 1, 2, pipe) == 2) {
        result.samples.push_back(static_cast<int16_t>(pair[0] | (pair[1] << 8)));
    }
    const int status = pclose(pipe);
    result.ok = status == 0;
    if (!result.ok) result.error = "sox failed with status " + std::to_string(status);
    return result;
}

ReadBack ReadCompressedRecording(const std::string& path) {
    ReadBack result;
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    result.fileBytes = bytes.size();
    CompressedFileReader reader(bytes.data(), bytes.size());
    const auto fail = [&](const FileError& error) {
        result.error = "offset " + std::to_string(error.offset) + ": " + error.message;
        return result;
    };
    if (const auto error = reader.ReadHeader()) return fail(*error);
    result.sizeField = reader.Header().fileSize;
    result.dataField = reader.Header().uncompressedSize;
    std::vector<int16_t> frames(2 * kMaxBlockFrames);
    while (!reader.AtEnd()) {
        DecodedRecord record;
        if (const auto error = reader.ReadRecord(frames.data(), record)) return fail(*error);
        ++result.records;
        result.recordFrames.push_back(record.frameCount);
        result.samples.insert(result.samples.end(), frames.begin(),
                              frames.begin() + 2 * record.frameCount);
    }
    if (const auto error = reader.Finish()) return fail(*error);
    result.ok = true;
    return result;
}

ReadBack ReadBackRecording(bool compressed, const std::string& path) {
    return compressed ? ReadCompressedRecording(path) : ReadWaveRecording(path);
}

}  // namespace sonocap::test

#include "codec/wave_reader.h"

#include <algorithm>
#include <cstring>

#include "codec/little_endian.h"
#include "codec/wave_header.h"

namespace sonocap {

namespace {

constexpr size_t kChunkHeaderBytes = 8;
constexpr uint32_t kMinFormatChunkBytes = 16;
constexpr uint32_t kExtensibleFormatChunkBytes = 40;

bool Is(const uint8_t* p, const char* id) {
    return std::memcmp(p, id, 4) == 0;
}

std::string ChunkName(const uint8_t* p) {
    std::string name;
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>(p[i]);
        name += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return name;
}

FileError At(uint64_t offset, std::string message) {
    return FileError{offset, std::move(message)};
}

void ReadFormatChunk(const uint8_t* p, uint32_t chunkBytes, WaveLayout& layout) {
    layout.formatTag = LoadLE16(p);
    layout.channels = LoadLE16(p + 2);
    layout.sampleRate = LoadLE32(p + 4);
    layout.blockAlign = LoadLE16(p + 12);
    layout.bitsPerSample = LoadLE16(p + 14);
    // An extensible header names the real format in the first two bytes of its sub-format GUID.
    if (layout.formatTag == kWaveFormatExtensible && chunkBytes >= kExtensibleFormatChunkBytes) {
        layout.formatTag = LoadLE16(p + 24);
    }
}

}  // namespace

std::optional<FileError> ReadWaveLayout(ByteWindow& window, WaveLayout& layout) {
    layout = WaveLayout{};
    const size_t head = window.Reach(0, 12);
    if (window.Error()) return At(head, *window.Error());
    const uint8_t* data = window.At(0);
    if (head < 12 || !Is(data, "RIFF") || !Is(data + 8, "WAVE")) {
        if (head >= 4 && (Is(data, "RIFX") || Is(data, "RF64"))) {
            return At(0,
                      ChunkName(data) + " files are not supported, only little-endian RIFF/WAVE");
        }
        return At(0, "not a RIFF/WAVE file");
    }
    bool haveFormat = false, haveData = false;
    uint64_t pos = 12;
    while (!(haveFormat && haveData)) {
        const size_t got = window.Reach(pos, kChunkHeaderBytes);
        if (window.Error()) return At(pos + got, *window.Error());
        if (got == 0) break;
        if (got < kChunkHeaderBytes) return At(pos, "truncated chunk header");
        uint8_t chunk[kChunkHeaderBytes];
        std::memcpy(chunk, window.At(pos), sizeof chunk);
        const uint32_t chunkBytes = LoadLE32(chunk + 4);
        const uint64_t body = pos + kChunkHeaderBytes;
        if (Is(chunk, "data") && !haveData) {
            haveData = true;
            layout.dataOffset = body;
            layout.declaredDataBytes = chunkBytes;
            // A stream's samples are counted as they are read; a file's are known now.
            const uint64_t present = window.LengthKnown() ? window.Length() - body : chunkBytes;
            layout.presentDataBytes = chunkBytes < present ? chunkBytes : present;
            if (chunkBytes > present) break;  // the samples run to the end of the file
        } else {
            const bool isFormat = Is(chunk, "fmt ") && !haveFormat;
            if (isFormat && chunkBytes >= kMinFormatChunkBytes) {
                const size_t need = std::min(chunkBytes, kExtensibleFormatChunkBytes);
                if (window.Reach(body, need) == need) {
                    ReadFormatChunk(window.At(body), chunkBytes, layout);
                }
            }
            // The chunk must be there whole, up to its last byte.
            const bool whole = chunkBytes == 0 ||
                               (window.LengthKnown() ? window.Length() - body >= chunkBytes
                                                     : window.Reach(body + chunkBytes - 1, 1) == 1);
            if (window.Error()) return At(body, *window.Error());
            if (!whole) {
                return At(pos, "chunk '" + ChunkName(chunk) + "' of " + std::to_string(chunkBytes) +
                                   " bytes runs past the end of the file");
            }
            if (isFormat) {
                if (chunkBytes < kMinFormatChunkBytes) {
                    return At(pos, "format chunk of " + std::to_string(chunkBytes) +
                                       " bytes is too short");
                }
                haveFormat = true;
            }
        }
        pos = body + chunkBytes + (chunkBytes & 1);
    }
    if (!haveFormat) return At(12, "no format chunk");
    if (!haveData) return At(12, "no data chunk");
    return std::nullopt;
}

std::optional<FileError> ReadWaveLayout(const uint8_t* data, size_t size, WaveLayout& layout) {
    ByteWindow window(data, size);
    return ReadWaveLayout(window, layout);
}

uint64_t EndOfWholeChunks(ByteWindow& window, uint64_t from) {
    uint64_t pos = from;
    while (window.Reach(pos, kChunkHeaderBytes) == kChunkHeaderBytes) {
        const uint32_t chunkBytes = LoadLE32(window.At(pos) + 4);
        const uint64_t next = pos + kChunkHeaderBytes + chunkBytes + (chunkBytes & 1);
        if (next > pos + kChunkHeaderBytes && window.Reach(next - 1, 1) == 0) break;
        pos = next;
    }
    return pos;
}

uint64_t EndOfWholeChunks(const uint8_t* data, size_t size, uint64_t from) {
    ByteWindow window(data, size);
    return EndOfWholeChunks(window, from);
}

bool IsRecordingFormat(const WaveLayout& layout) {
    return layout.formatTag == kWaveFormatPcm && layout.channels == kChannels &&
           layout.sampleRate == static_cast<uint32_t>(kSampleRate) &&
           layout.bitsPerSample == kBitsPerSample && layout.blockAlign == kBytesPerFrame;
}

std::string DescribeWaveFormat(const WaveLayout& layout) {
    std::string format;
    switch (layout.formatTag) {
        case kWaveFormatPcm:
            format = "PCM";
            break;
        case 3:
            format = "IEEE float";
            break;
        case 6:
            format = "A-law";
            break;
        case 7:
            format = "mu-law";
            break;
        default:
            format = "format tag " + std::to_string(layout.formatTag);
            break;
    }
    return format + ", " + std::to_string(layout.channels) +
           (layout.channels == 1 ? " channel, " : " channels, ") +
           std::to_string(layout.sampleRate) + " Hz, " + std::to_string(layout.bitsPerSample) +
           " bits";
}

std::string NotRecordingFormatText(const WaveLayout& layout) {
    return DescribeWaveFormat(layout) + " is not a recording's format (" + kRecordingFormatText +
           ")";
}

}  // namespace sonocap

#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The settings that survive between runs. The record is at the same time the live settings
// and, field for field, the image of the parameter file.

namespace sonocap {

inline constexpr uint32_t kParameterMagic = 0x23041967;
inline constexpr std::size_t kLastDirectoryBytes = 260;
inline constexpr std::size_t kParameterRecordBytes = 272;

struct ParameterRecord {
    uint32_t magic;
    // Zero-terminated; empty means no directory chosen yet. Bytes after the terminator
    // carry no meaning and are written back as they stand.
    char lastDirectory[kLastDirectoryBytes];
    // Any non-zero value counts as on.
    int32_t compression;
    int32_t dcFilter;
};

static_assert(sizeof(ParameterRecord) == kParameterRecordBytes);
static_assert(offsetof(ParameterRecord, magic) == 0);
static_assert(offsetof(ParameterRecord, lastDirectory) == 4);
static_assert(offsetof(ParameterRecord, compression) == 264);
static_assert(offsetof(ParameterRecord, dcFilter) == 268);

using ParameterImage = std::array<uint8_t, kParameterRecordBytes>;

// The record as it lies on disk: integers little-endian whatever the host.
ParameterImage EncodeParameterRecord(const ParameterRecord& record);
void DecodeParameterRecord(const ParameterImage& image, ParameterRecord& record);

// Magic, empty lastDirectory, both switches off; the rest of lastDirectory is kept.
void SetDefaultParameters(ParameterRecord& record);

}  // namespace sonocap

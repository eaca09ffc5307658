#include "codec/unfinished_recording.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "codec/capture_buffer_encoding.h"
#include "codec/compressed_header.h"
#include "codec/little_endian.h"
#include "codec/wave_header.h"
#include "tests/codec/test_signals.h"

namespace sonocap {
namespace {

// A file in memory that notes the largest read asked of it.
class MemoryFile final : public PositionalFile {
  public:
    explicit MemoryFile(std::vector<uint8_t> bytes) : bytes(std::move(bytes)) {}
    int64_t Length() override { return static_cast<int64_t>(bytes.size()); }
    size_t ReadAt(uint64_t offset, void* data, size_t n) override {
        largestRead = std::max(largestRead, n);
        if (offset >= bytes.size()) return 0;
        n = std::min<size_t>(n, bytes.size() - offset);
        std::memcpy(data, bytes.data() + offset, n);
        return n;
    }
    bool WriteAt(uint64_t offset, const void* data, size_t n) override {
        if (offset + n > bytes.size()) bytes.resize(offset + n);
        std::memcpy(bytes.data() + offset, data, n);
        return true;
    }
    bool Truncate(uint64_t length) override {
        bytes.resize(length);
        return true;
    }
    std::vector<uint8_t> bytes;
    size_t largestRead = 0;
};

constexpr uint32_t kBuffer = kFramesPerCaptureBuffer;

std::vector<uint8_t> WaveTake(uint32_t declaredFrames, uint32_t frames, test::SignalKind kind) {
    uint8_t header[kWaveHeaderBytes];
    buildWaveHeader(declaredFrames * 4, kSampleRate, kChannels, header);
    std::vector<uint8_t> bytes(header, header + sizeof header);
    const std::vector<int16_t> samples = test::MakeSignal(kind, static_cast<int32_t>(frames), 7);
    const auto* p = reinterpret_cast<const uint8_t*>(samples.data());
    bytes.insert(bytes.end(), p, p + 4 * size_t{frames});
    return bytes;
}

// A Compaxa take of whole capture buffers, its header counting the first `declaredBuffers`.
std::vector<uint8_t> CompressedTake(int declaredBuffers, int buffers) {
    uint8_t header[kCompressedHeaderBytes];
    buildCompressedPlaceholder(header);
    std::vector<uint8_t> bytes(header, header + sizeof header);
    const auto write = [&](const void* data, int32_t n) {
        const auto* p = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + n);
        return n;
    };
    uint32_t packetArea[kPacketAreaWords];
    for (int b = 0; b < buffers; ++b) {
        if (b == declaredBuffers) {
            buildCompressedHeader(static_cast<uint32_t>(bytes.size()), 4 * kBuffer * b, header);
            std::memcpy(bytes.data(), header, sizeof header);
        }
        const std::vector<int16_t> samples = test::MakeSignal(
            test::SignalKind::Sine, kFramesPerCaptureBuffer, static_cast<uint32_t>(b + 1));
        writeCompressedBuffer(samples.data(), kFramesPerCaptureBuffer, packetArea, write);
    }
    if (declaredBuffers == buffers) {
        buildCompressedHeader(static_cast<uint32_t>(bytes.size()), 4 * kBuffer * buffers, header);
        std::memcpy(bytes.data(), header, sizeof header);
    }
    return bytes;
}

std::vector<uint8_t> Append(std::vector<uint8_t> bytes, const std::vector<uint8_t>& tail) {
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}

struct FinishCase {
    const char* name;
    std::function<std::vector<uint8_t>()> make;
    bool compressed;
    int64_t cutBytes;  // -1: the plan is refused; for damage, the bytes kept
    uint64_t frames;
    bool damage = false;
};

const FinishCase kCases[] = {
    {"WaveProvisionalHeaderTornFrame",
     [] {
         return Append(WaveTake(0, 5000, test::SignalKind::Sine), {1, 2, 3});
     },
     false, 3, 5000},
    {"WaveHeaderBehindTheTakeKeepsEveryFrame",
     [] { return WaveTake(kBuffer, kBuffer + 300, test::SignalKind::Sine); }, false, 0,
     kBuffer + 300},
    {"WaveSilenceBehindTheSizesIsNotAChunk",
     [] { return WaveTake(kBuffer, kBuffer + 256, test::SignalKind::Silence); }, false, 0,
     kBuffer + 256},
    {"WaveFinishedWithListChunkUnchanged",
     [] {
         return Append(WaveTake(1000, 1000, test::SignalKind::Sine),
                       {'L', 'I', 'S', 'T', 4, 0, 0, 0, 'I', 'N', 'F', 'O'});
     },
     false, 0, 1000},
    {"WaveOtherFormatRefused",
     [] {
         std::vector<uint8_t> bytes = WaveTake(0, 100, test::SignalKind::Sine);
         StoreLE16(bytes.data() + 22, 1);  // mono
         return bytes;
     },
     false, -1, 0},
    {"NotARecordingRefused", [] { return std::vector<uint8_t>(100, 'x'); }, false, -1, 0},
    {"CompressedPlaceholderTornRecord",
     [] {
         return Append(CompressedTake(0, 2), {0x20, 0x00, 1, 2, 3});
     },
     true, 5, 2 * kBuffer},
    {"CompressedHeaderBehindTheTake", [] { return CompressedTake(1, 3); }, true, 0, 3 * kBuffer},
    {"CompressedFinishedUnchanged", [] { return CompressedTake(2, 2); }, true, 0, 2 * kBuffer},
    {"CompressedDamageWithAudioBehind",
     [] {
         std::vector<uint8_t> bytes = CompressedTake(0, 2);
         // The middle of the first record's words: the records behind it are still valid.
         bytes[kCompressedHeaderBytes + 2] ^= 0xFF;
         bytes[kCompressedHeaderBytes + 3] ^= 0xFF;
         return bytes;
     },
     true, kCompressedHeaderBytes, 0, true},
};

class FinishTable : public ::testing::TestWithParam<FinishCase> {};

TEST_P(FinishTable, PlansAndFinishes) {
    const FinishCase& c = GetParam();
    MemoryFile file(c.make());
    const std::vector<uint8_t> original = file.bytes;
    FinishPlan plan;
    const auto error = PlanFinish(file, plan);
    if (c.cutBytes < 0) {
        EXPECT_TRUE(error);
        return;
    }
    ASSERT_FALSE(error) << error->message;
    EXPECT_EQ(plan.compressed, c.compressed);
    EXPECT_EQ(c.damage ? plan.newLength : plan.CutBytes(), static_cast<uint64_t>(c.cutBytes));
    EXPECT_EQ(plan.frames, c.frames);
    EXPECT_EQ(plan.damage.has_value(), c.damage);
    EXPECT_LE(file.largestRead, size_t{256} << 10);
    if (c.damage) {
        EXPECT_EQ(plan.resumeAt.value_or(0),
                  kCompressedHeaderBytes +
                      RecordBytes(LoadLE16(original.data() + kCompressedHeaderBytes)));
        EXPECT_EQ(plan.framesAfterDamage, 2 * kBuffer - kBuffer / 8);
        return;
    }

    ASSERT_TRUE(ApplyFinish(file, plan));
    ASSERT_EQ(file.bytes.size(), plan.newLength);
    // The samples and records are those the file held; only size fields changed.
    for (size_t i = 0; i < file.bytes.size(); ++i) {
        const bool field = std::any_of(plan.fields.begin(), plan.fields.end(),
                                       [&](auto& f) { return i >= f.offset && i < f.offset + 4; });
        if (!field) {
            ASSERT_EQ(file.bytes[i], original[i]) << "byte " << i;
        }
    }
    if (c.compressed) {
        EXPECT_EQ(LoadLE32(file.bytes.data() + 4), file.bytes.size());
        EXPECT_EQ(LoadLE32(file.bytes.data() + 8), 4 * c.frames);
    } else {
        EXPECT_EQ(LoadLE32(file.bytes.data() + 4), file.bytes.size() - 8);
        EXPECT_EQ(LoadLE32(file.bytes.data() + 40), 4 * c.frames);
    }
    // A finished file needs nothing more.
    FinishPlan again;
    ASSERT_FALSE(PlanFinish(file, again));
    EXPECT_FALSE(again.Changes());
}

INSTANTIATE_TEST_SUITE_P(UnfinishedRecording, FinishTable, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sonocap

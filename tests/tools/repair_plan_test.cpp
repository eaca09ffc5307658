#include "codec/repair_plan.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "codec/capture_buffer_encoding.h"
#include "codec/compressed_header.h"
#include "codec/little_endian.h"
#include "codec/wave_header.h"

namespace sonocap {
namespace {

std::vector<uint8_t> UnfinishedWave(uint32_t dataBytes) {
    std::vector<uint8_t> bytes(kWaveHeaderBytes + size_t{dataBytes}, 0x11);
    uint8_t header[kWaveHeaderBytes];
    buildWaveHeader(0, kSampleRate, kChannels, header);
    std::memcpy(bytes.data(), header, sizeof header);
    return bytes;
}

// Two buffers of a ramp as the recorder writes them, with the placeholder header.
std::vector<uint8_t> UnfinishedCompressed() {
    uint8_t header[kCompressedHeaderBytes];
    buildCompressedPlaceholder(header);
    std::vector<uint8_t> bytes(header, header + sizeof header);
    const auto write = [&bytes](const void* data, int32_t n) {
        const auto* p = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + n);
        return n;
    };
    std::vector<int16_t> frames(2 * kFramesPerCaptureBuffer);
    for (size_t i = 0; i < frames.size(); ++i) frames[i] = static_cast<int16_t>(i % 517);
    uint32_t packetArea[kPacketAreaWords];
    for (int b = 0; b < 2; ++b) {
        writeCompressedBuffer(frames.data(), kFramesPerCaptureBuffer, packetArea, write);
    }
    return bytes;
}

uint32_t PatchAt(const RepairPlan& plan, uint64_t offset) {
    for (const FieldPatch& p : plan.patches) {
        if (p.offset == offset) return p.value;
    }
    ADD_FAILURE() << "no patch at " << offset;
    return 0;
}

struct WaveCase {
    const char* name;
    uint32_t dataBytesOnDisk;
    uint32_t declaredDataBytes;  // 0: the provisional header
    uint32_t keptDataBytes;
    bool cutShort;  // the header declares more than the file holds
};

void PrintTo(const WaveCase& c, std::ostream* os) {
    *os << c.name;
}

class WaveRepairPlan : public testing::TestWithParam<WaveCase> {};

TEST_P(WaveRepairPlan, SizesComeFromWholeFrames) {
    const WaveCase& c = GetParam();
    std::vector<uint8_t> bytes = UnfinishedWave(c.dataBytesOnDisk);
    if (c.declaredDataBytes != 0) {
        StoreLE32(bytes.data() + 4, c.declaredDataBytes + 36);
        StoreLE32(bytes.data() + 40, c.declaredDataBytes);
    }
    RepairPlan plan;
    ASSERT_FALSE(PlanWaveRepair(bytes.data(), bytes.size(), plan));
    EXPECT_EQ(plan.headerBytes, 44u);
    EXPECT_EQ(plan.newLength, 44u + c.keptDataBytes);
    EXPECT_EQ(PatchAt(plan, 40), c.keptDataBytes);
    EXPECT_EQ(PatchAt(plan, 4), 36u + c.keptDataBytes);
    EXPECT_EQ(plan.frames, c.keptDataBytes / 4u);
    EXPECT_EQ(plan.damage.has_value(), c.cutShort);
}

INSTANTIATE_TEST_SUITE_P(
    RepairPlan, WaveRepairPlan,
    testing::Values(WaveCase{"ProvisionalWholeFrames", 4000, 0, 4000, false},
                    WaveCase{"ProvisionalTornLastFrame", 4003, 0, 4000, false},
                    WaveCase{"ProvisionalNoData", 0, 0, 0, false},
                    // Samples behind a short data size are kept.
                    WaveCase{"DataSizeShortOfTheSamples", 5002, 4000, 5000, false},
                    WaveCase{"DeclaresMoreThanIsThere", 4002, 9000, 4000, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RepairPlan, WaveKeepsWholeChunksAfterTheSamples) {
    std::vector<uint8_t> bytes = UnfinishedWave(4000);
    StoreLE32(bytes.data() + 40, 4000);
    const uint8_t list[] = {'L', 'I', 'S', 'T', 5, 0, 0, 0, 'I', 'N', 'F', 'O', 'x', 0};
    bytes.insert(bytes.end(), list, list + sizeof list);  // odd size, with its pad byte
    bytes.insert(bytes.end(), {0xde, 0xad});              // then two bytes of no chunk
    RepairPlan plan;
    ASSERT_FALSE(PlanWaveRepair(bytes.data(), bytes.size(), plan));
    EXPECT_EQ(plan.newLength, bytes.size() - 2);
    EXPECT_EQ(PatchAt(plan, 4), bytes.size() - 2 - 8);
    EXPECT_EQ(PatchAt(plan, 40), 4000u);
}

TEST(RepairPlan, WaveOfAnotherFormatIsRefused) {
    std::vector<uint8_t> bytes = UnfinishedWave(400);
    StoreLE16(bytes.data() + 22, 1);  // mono
    RepairPlan plan;
    EXPECT_TRUE(PlanWaveRepair(bytes.data(), bytes.size(), plan));
}

TEST(RepairPlan, CompressedKeepsTheRecordsBeforeATornOne) {
    std::vector<uint8_t> bytes = UnfinishedCompressed();
    const size_t whole = bytes.size();
    bytes.resize(whole - 100);
    RepairPlan plan;
    ASSERT_FALSE(PlanCompressedRepair(bytes.data(), bytes.size(), plan));
    EXPECT_EQ(plan.frames, 15u * 2048);
    EXPECT_LT(plan.newLength, whole - 100);
    EXPECT_EQ(PatchAt(plan, 4), plan.newLength);
    EXPECT_EQ(PatchAt(plan, 8), 4u * 15 * 2048);
    EXPECT_EQ(plan.cutReason, "a torn last record");
    EXPECT_NE(plan.headerState.find("never finished"), std::string::npos);
}

TEST(RepairPlan, CompressedWithNothingTornCutsNothing) {
    const std::vector<uint8_t> bytes = UnfinishedCompressed();
    RepairPlan plan;
    ASSERT_FALSE(PlanCompressedRepair(bytes.data(), bytes.size(), plan));
    EXPECT_EQ(plan.newLength, bytes.size());
    EXPECT_EQ(PatchAt(plan, 8), 4u * 16 * 2048);
    EXPECT_TRUE(plan.cutReason.empty());
}

TEST(RepairPlan, CompressedTornEndIsNoDamage) {
    std::vector<uint8_t> bytes = UnfinishedCompressed();
    bytes.resize(bytes.size() - 100);
    RepairPlan plan;
    ASSERT_FALSE(PlanCompressedRepair(bytes.data(), bytes.size(), plan));
    EXPECT_FALSE(plan.damage);
}

// A fault with valid records behind it, or inside what a finished header declares, is damage:
// cutting there would lose audio.
TEST(RepairPlan, CompressedFaultWithAudioBehindItIsDamage) {
    for (const bool finished : {false, true}) {
        std::vector<uint8_t> bytes = UnfinishedCompressed();
        if (finished) {
            StoreLE32(bytes.data() + 4, static_cast<uint32_t>(bytes.size()));
            StoreLE32(bytes.data() + 8, 4u * 16 * 2048);
        }
        StoreLE16(bytes.data() + 40, 0);  // the first record's word count
        RepairPlan plan;
        ASSERT_FALSE(PlanCompressedRepair(bytes.data(), bytes.size(), plan));
        ASSERT_TRUE(plan.damage) << finished;
        EXPECT_EQ(plan.damage->offset, 40u);
        EXPECT_NE(plan.damageExtent.find(std::to_string(15 * 2048) + " frames"), std::string::npos)
            << plan.damageExtent;
    }
}

TEST(RepairPlan, CompressedHeaderWithWrongConstantsIsRefused) {
    std::vector<uint8_t> bytes = UnfinishedCompressed();
    StoreLE16(bytes.data() + 20, 8);  // bits per sample
    RepairPlan plan;
    const auto error = PlanCompressedRepair(bytes.data(), bytes.size(), plan);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->offset, 20u);
}

}  // namespace
}  // namespace sonocap

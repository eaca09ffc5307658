#include "tools/record_verifier.h"

#include <gtest/gtest.h>

#include <vector>

#include "codec/little_endian.h"

namespace sonocap {
namespace {

struct EncodedRecord {
    std::vector<int16_t> frames;
    std::vector<uint8_t> bytes;  // the packet's words as they go to the file
};

EncodedRecord Encode(int32_t frameCount) {
    EncodedRecord r;
    for (int32_t i = 0; i < frameCount; ++i) {
        r.frames.push_back(static_cast<int16_t>(i * 37 % 2000 - 1000));
        r.frames.push_back(static_cast<int16_t>(i * 11 % 300));
    }
    uint32_t words[kPacketAreaWords];
    const uint16_t count =
        BlockEncoder::encodeBlock(r.frames.data(), words, static_cast<int16_t>(frameCount));
    r.bytes.resize(4 * size_t{count});
    for (uint16_t i = 0; i < count; ++i) StoreLE32(r.bytes.data() + 4 * i, words[i]);
    return r;
}

TEST(RecordVerifier, AcceptsARecordThatDecodesToItsInput) {
    const EncodedRecord r = Encode(2048);
    RecordVerifier verifier;
    EXPECT_FALSE(verifier.Check(r.bytes.data(), static_cast<int32_t>(r.bytes.size()),
                                r.frames.data(), 2048));
}

TEST(RecordVerifier, NamesTheFirstFrameThatDiffers) {
    EncodedRecord r = Encode(2048);
    r.frames[2 * 700 + 1] += 1;
    RecordVerifier verifier;
    const auto problem =
        verifier.Check(r.bytes.data(), static_cast<int32_t>(r.bytes.size()), r.frames.data(), 2048);
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->rfind("decodes frame 700 of the record", 0), 0u) << *problem;
}

TEST(RecordVerifier, RejectsWordsThatDoNotDecode) {
    EncodedRecord r = Encode(2048);
    r.bytes.resize(r.bytes.size() - 4);
    RecordVerifier verifier;
    const auto problem =
        verifier.Check(r.bytes.data(), static_cast<int32_t>(r.bytes.size()), r.frames.data(), 2048);
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->rfind("does not decode", 0), 0u) << *problem;
}

TEST(RecordVerifier, RejectsAnotherFrameCount) {
    const EncodedRecord r = Encode(2047);
    RecordVerifier verifier;
    const auto problem =
        verifier.Check(r.bytes.data(), static_cast<int32_t>(r.bytes.size()), r.frames.data(), 2048);
    ASSERT_TRUE(problem);
    EXPECT_EQ(*problem, "decodes to 2047 frames instead of 2048");
}

}  // namespace
}  // namespace sonocap

#include "settings/db_table.h"
#include "settings/program_values.h"

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

namespace sonocap {
namespace {

class DbTableTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { BuildDbTable(); }
};

TEST_F(DbTableTest, NoPeakReadsMinusOneHundred) {
    EXPECT_EQ(dbTable[0], -100.0f);
}

struct LevelCase {
    int32_t peak;
    float db;
};

class DbTableLevels : public DbTableTest, public ::testing::WithParamInterface<LevelCase> {};

TEST_P(DbTableLevels, EntryIsTheLevelOfItsPeakInSinglePrecision) {
    EXPECT_FLOAT_EQ(dbTable[GetParam().peak], GetParam().db);
}

// 20 * log10(peak * 3.051757813e-05), worked out in double and rounded to float.
INSTANTIATE_TEST_SUITE_P(Peaks, DbTableLevels,
                         ::testing::Values(LevelCase{1, -90.30899810791016f},
                                           LevelCase{2, -84.28839874267578f},
                                           LevelCase{100, -50.308998107910156f},
                                           LevelCase{3277, -19.999469757080078f},
                                           LevelCase{16384, -6.020599842071533f},
                                           LevelCase{32767, -0.0002650749229360372f},
                                           LevelCase{32768, 1.4230966405293088e-09f}));

TEST_F(DbTableTest, FullScaleIsATinyPositiveValueNotZero) {
    EXPECT_GT(dbTable[32768], 0.0f);
    EXPECT_LT(dbTable[32768], 2e-9f);
}

TEST_F(DbTableTest, LevelRisesWithEveryPeak) {
    for (int32_t i = 1; i < kDbTableEntries; ++i) {
        ASSERT_LT(dbTable[i - 1], dbTable[i]) << "peak " << i;
    }
}

struct ReadoutCase {
    int32_t peak;
    const char* text;
};

class DbTableReadouts : public DbTableTest, public ::testing::WithParamInterface<ReadoutCase> {};

TEST_P(DbTableReadouts, PeakReadoutComesStraightFromTheTable) {
    char text[32];
    std::snprintf(text, sizeof text, "%+5.1fdB", static_cast<double>(dbTable[GetParam().peak]));
    EXPECT_EQ(std::string(text), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Peaks, DbTableReadouts,
                         ::testing::Values(ReadoutCase{16384, " -6.0dB"},
                                           ReadoutCase{3277, "-20.0dB"},
                                           ReadoutCase{32767, " -0.0dB"},
                                           ReadoutCase{32768, " +0.0dB"},
                                           ReadoutCase{1, "-90.3dB"}));

}  // namespace
}  // namespace sonocap

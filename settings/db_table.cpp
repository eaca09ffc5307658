#include "settings/db_table.h"
#include "settings/program_values.h"

#include <cmath>

namespace sonocap {

namespace {
// 1/32768 to ten significant digits; full scale thus comes out a hair above 0 dB.
constexpr double kFullScaleReciprocal = 3.051757813e-05;
}  // namespace

void BuildDbTable() {
    dbTable[0] = kSilenceDb;
    for (int32_t i = 1; i < kDbTableEntries; ++i) {
        dbTable[i] = static_cast<float>(20.0 * std::log10(i * kFullScaleReciprocal));
    }
}

}  // namespace sonocap

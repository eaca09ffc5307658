#include "settings/program_values.h"

#include "settings/program_environment.h"

namespace sonocap {

ParameterRecord parameterRecord{};
std::array<float, kDbTableEntries> dbTable{};
std::string programDirectory;
int32_t osPlatform = 0;
int32_t meterLagFrames = kDefaultMeterLagFrames;

void ResetProgramValues() {
    parameterRecord = ParameterRecord{};
    dbTable.fill(0.0f);
    programDirectory.clear();
    osPlatform = 0;
    meterLagFrames = kDefaultMeterLagFrames;
}

}  // namespace sonocap

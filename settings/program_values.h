#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "settings/db_table.h"
#include "settings/parameter_record.h"

// The values the program keeps for the whole run below the engine: the settings and what start-up
// works out. engine/program_state.h adds the recording and the window's flags; together they are
// all the program-wide state there is.

namespace sonocap {

// The one settings record, all zero until the settings are loaded.
extern ParameterRecord parameterRecord;

// Level in dB of each peak magnitude, so that the display timer never takes a logarithm; zero
// until BuildDbTable.
extern std::array<float, kDbTableEntries> dbTable;

// Directory of the running executable, ending with the path separator so that a file name can
// be appended directly; empty when the executable's path is unknown.
extern std::string programDirectory;
// Operating-system class (kOsWin32s, kOsWindows, kOsNt, kOsOther).
extern int32_t osPlatform;
// Frames the metering stays behind the device position.
extern int32_t meterLagFrames;

// Every value above as it is when the program starts.
void ResetProgramValues();

}  // namespace sonocap

#pragma once

// The parameter file beside the executable: a byte-for-byte image of the ParameterRecord.

namespace sonocap {

inline constexpr char kParameterFileName[] = "sonocap.par";

// Reads the file into parameterRecord; true only for a valid file. Shows no message.
bool LoadParameterFile();

// Writes parameterRecord to the file; true only if the whole record was stored. Shows no
// message.
bool SaveParameterFile();

}  // namespace sonocap

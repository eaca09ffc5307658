#pragma once

#include <cstdio>
#include <string>

#include "codec/file_error.h"

// Messages of sonocap-cx on standard error, Unix style: "sonocap-cx: FILE: offset N: what".

namespace sonocap {

inline constexpr int kExitOk = 0;
inline constexpr int kExitBadInput = 1;
inline constexpr int kExitUsage = 2;

inline int ReportError(const std::string& path, const std::string& message) {
    std::fprintf(stderr, "sonocap-cx: %s: %s\n", path.c_str(), message.c_str());
    return kExitBadInput;
}

inline int ReportError(const std::string& path, const FileError& error) {
    return ReportError(path, "offset " + std::to_string(error.offset) + ": " + error.message);
}

inline int ReportUsage(const char* usage, const std::string& problem) {
    std::fprintf(stderr, "sonocap-cx: %s\n%s", problem.c_str(), usage);
    return kExitUsage;
}

}  // namespace sonocap

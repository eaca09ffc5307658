#pragma once

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "codec/file_error.h"

// Messages of sonocap-cx on standard error, Unix style: "sonocap-cx: FILE: offset N: what".

namespace sonocap {

inline constexpr int kExitOk = 0;
inline constexpr int kExitBadInput = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitOutput = 3;  // the output could not be written, or was refused

// "1 byte", "2 bytes": a count with its noun in the right number.
inline std::string Counted(uint64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

inline int ReportError(const std::string& path, const std::string& message) {
    std::fprintf(stderr, "sonocap-cx: %s: %s\n", path.c_str(), message.c_str());
    return kExitBadInput;
}

inline int ReportError(const std::string& path, const FileError& error) {
    return ReportError(path, "offset " + std::to_string(error.offset) + ": " + error.message);
}

inline int ReportOutputError(const std::string& path, const std::string& message) {
    std::fprintf(stderr, "sonocap-cx: %s: %s\n", path == "-" ? "standard output" : path.c_str(),
                 message.c_str());
    return kExitOutput;
}

// Standard output flushed and closed, its errors told: a full disk is not a success.
inline int FinishStandardOutput(int status) {
    const bool failed = std::fflush(stdout) != 0 || std::ferror(stdout) != 0;
    if (std::fclose(stdout) != 0 || failed) {
        std::fprintf(stderr, "sonocap-cx: standard output: %s\n", std::strerror(errno));
        return status == kExitOk ? kExitOutput : status;
    }
    return status;
}

inline int ReportUsage(const char* usage, const std::string& problem) {
    std::fprintf(stderr, "sonocap-cx: %s\n%s", problem.c_str(), usage);
    return kExitUsage;
}

}  // namespace sonocap

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

// A name as messages show it: as it is, unless it holds control characters (an escape sequence
// would act on the terminal, a line break split the message); then quoted for the shell as GNU
// tools quote it: 'a'$'\n''b'.
inline std::string QuotedName(const std::string& name) {
    bool plain = true;
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) plain = false;
    }
    if (plain) return name;
    std::string out;
    bool inQuotes = false;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            if (inQuotes) out += '\'';
            inQuotes = false;
            static const char kNamed[] = "abtnvfr";
            char escape[8];
            if (u >= 7 && u <= 13) {
                std::snprintf(escape, sizeof escape, "$'\\%c'", kNamed[u - 7]);
            } else {
                std::snprintf(escape, sizeof escape, "$'\\%03o'", u);
            }
            out += escape;
            continue;
        }
        if (!inQuotes) out += '\'';
        inQuotes = true;
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    if (inQuotes) out += '\'';
    return out;
}

// An error about a file whose sizes say it was never finished, or whose WAV data size does not
// match its samples, gains a pointer to the cure.
inline FileError WithRepairHint(FileError error) {
    if (error.message.find("never finished") != std::string::npos ||
        error.message.find("bytes after the data chunk's header") != std::string::npos) {
        error.message += " (sonocap-cx repair rebuilds the header)";
    }
    return error;
}

inline int ReportError(const std::string& path, const std::string& message) {
    std::fprintf(stderr, "sonocap-cx: %s: %s\n", QuotedName(path).c_str(), message.c_str());
    return kExitBadInput;
}

inline int ReportError(const std::string& path, const FileError& error) {
    return ReportError(path, "offset " + std::to_string(error.offset) + ": " + error.message);
}

inline int ReportOutputError(const std::string& path, const std::string& message) {
    std::fprintf(stderr, "sonocap-cx: %s: %s\n",
                 path == "-" ? "standard output" : QuotedName(path).c_str(), message.c_str());
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

// A usage error: one line, and where the help is ("usage: sonocap-cx decode ..." names the
// command).
inline int ReportUsage(const char* usage, const std::string& problem) {
    std::string command = usage;
    const std::string prefix = "usage: sonocap-cx ";
    command = command.rfind(prefix, 0) == 0 ? command.substr(prefix.size()) : "";
    command = command.substr(0, command.find_first_of(" \n"));
    if (command == "COMMAND") command.clear();
    std::fprintf(stderr, "sonocap-cx: %s\nTry 'sonocap-cx %s%s--help' for more information.\n",
                 problem.c_str(), command.c_str(), command.empty() ? "" : " ");
    return kExitUsage;
}

}  // namespace sonocap

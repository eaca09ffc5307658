#pragma once

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
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

// Why a command stopped: its exit status, what the failure is about (a file as it was named, the
// command for bad usage, nothing for the tool as a whole), and what was wrong, at the offset of
// the fault where it lies in a file. Every operation of the tool returns an Outcome, empty when
// it went well; main hands a failure to Report.
struct Failure {
    int status = kExitBadInput;
    std::string subject;
    std::string error;
    std::optional<uint64_t> offset;
};
using Outcome = std::optional<Failure>;

// Bad input: a file that cannot be read, or what is wrong in it.
inline Failure BadInput(const std::string& path, std::string error) {
    return Failure{kExitBadInput, path, std::move(error), std::nullopt};
}
inline Failure BadInput(const std::string& path, const FileError& fault) {
    return Failure{kExitBadInput, path, fault.message, fault.offset};
}

// The output could not be written, or was refused; "-" is standard output.
inline Failure BadOutput(const std::string& path, std::string error) {
    return Failure{kExitOutput, path == "-" ? "standard output" : path, std::move(error),
                   std::nullopt};
}

// Bad usage of `command` (empty: of the tool itself).
inline Failure BadUsage(const std::string& command, std::string problem) {
    return Failure{kExitUsage, command, std::move(problem), std::nullopt};
}

// Tells the failure on standard error, Unix style ("sonocap-cx: FILE: offset N: what"; a usage
// error in one line and where the help is), and returns its exit status.
inline int Report(const Failure& failure) {
    if (failure.status == kExitUsage) {
        std::fprintf(stderr, "sonocap-cx: %s\nTry 'sonocap-cx %s%s--help' for more information.\n",
                     failure.error.c_str(), failure.subject.c_str(),
                     failure.subject.empty() ? "" : " ");
        return failure.status;
    }
    std::string line = "sonocap-cx: ";
    if (!failure.subject.empty()) line += QuotedName(failure.subject) + ": ";
    if (failure.offset) line += "offset " + std::to_string(*failure.offset) + ": ";
    std::fprintf(stderr, "%s%s\n", line.c_str(), failure.error.c_str());
    return failure.status;
}

// Standard output flushed and closed: a full disk is not a success.
inline Outcome CloseStandardOutput() {
    const bool failed = std::fflush(stdout) != 0 || std::ferror(stdout) != 0;
    if (std::fclose(stdout) != 0 || failed) return BadOutput("-", std::strerror(errno));
    return std::nullopt;
}

}  // namespace sonocap

#pragma once

#include <algorithm>
#include <string>
#include <thread>

#include "tools/command_line.h"
#include "tools/report.h"

// --threads N of encode and decode: how many threads code the capture buffers, the command's own
// and N - 1 workers. The default is one per core; 1 codes them one after the other on the
// command's own thread.

namespace sonocap {

inline constexpr int kMaxThreads = 64;

inline constexpr char kThreadsHelp[] =
    "--threads N codes the capture buffers on N threads, the command's own and N - 1 workers\n"
    "(default: one per core); the output is the same byte for byte. --threads 1 codes them one\n"
    "after the other.\n"
    "\n";

// The count of --threads, one per core without it; a usage failure when the value is not a count
// from 1 to kMaxThreads.
inline Outcome ParseThreads(const CommandLine& line, int& threads) {
    const unsigned cores = std::thread::hardware_concurrency();
    threads = cores == 0 ? 1 : static_cast<int>(std::min<unsigned>(cores, kMaxThreads));
    if (line.missingValue == "--threads") return BadUsage(line.command, "--threads needs a count");
    const auto value = line.values.find("--threads");
    if (value == line.values.end()) return std::nullopt;
    const std::string& text = value->second;
    const bool digits = !text.empty() && text.size() <= 3 &&
                        text.find_first_not_of("0123456789") == std::string::npos;
    if (!digits || std::stoi(text) < 1 || std::stoi(text) > kMaxThreads) {
        return BadUsage(line.command,
                        "--threads takes a count from 1 to " + std::to_string(kMaxThreads));
    }
    threads = std::stoi(text);
    return std::nullopt;
}

}  // namespace sonocap

#pragma once

#include <string>
#include <vector>

#include "tools/command_line.h"
#include "tools/report.h"

// The commands of sonocap-cx, as one table: its name, its help, the options it takes and how many
// operands. The tool's main reads the table and handles --help, unknown options, missing values
// and the operand count for every command alike; a command runs only on a line that passed.

namespace sonocap {

struct CommandRow {
    const char* name;
    std::vector<const char*> help;  // printed one after the other for --help
    std::vector<std::string> flags;
    // Options that take a value, each with what a missing value is told.
    std::vector<std::pair<std::string, std::string>> valueOptions;
    size_t operands;
    const char* operandsText;  // the usage error for another count
    Outcome (*run)(const CommandLine& line);
};

extern const CommandRow kEncodeCommand;
extern const CommandRow kDecodeCommand;
extern const CommandRow kVerifyCommand;
extern const CommandRow kInfoCommand;
extern const CommandRow kRepairCommand;

}  // namespace sonocap

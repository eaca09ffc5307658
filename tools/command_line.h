#pragma once

#include <string>
#include <vector>

// The arguments of one sonocap-cx command, split into options ("--x") and operands.

namespace sonocap {

struct CommandLine {
    std::vector<std::string> options;
    std::vector<std::string> operands;

    bool Has(const std::string& option) const {
        for (const std::string& o : options) {
            if (o == option) return true;
        }
        return false;
    }
};

inline CommandLine SplitCommandLine(int argc, char** argv) {
    CommandLine line;
    bool operandsOnly = false;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!operandsOnly && arg == "--") {
            operandsOnly = true;
        } else if (!operandsOnly && arg.size() > 1 && arg[0] == '-') {
            line.options.push_back(arg);
        } else {
            line.operands.push_back(arg);
        }
    }
    return line;
}

}  // namespace sonocap

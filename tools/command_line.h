#pragma once

#include <map>
#include <string>
#include <vector>

// The arguments of one sonocap-cx command, split into options ("--x"), the values of the
// options that take one ("--against FILE"), and operands.

namespace sonocap {

struct CommandLine {
    std::string command;  // the command's name, for what its messages say
    std::vector<std::string> options;
    std::map<std::string, std::string> values;
    std::vector<std::string> operands;
    std::string missingValue;  // an option that needs a value and came last

    bool Has(const std::string& option) const {
        for (const std::string& o : options) {
            if (o == option) return true;
        }
        return false;
    }
};

inline CommandLine SplitCommandLine(int argc, char** argv,
                                    const std::vector<const char*>& valueOptions = {}) {
    CommandLine line;
    bool operandsOnly = false;
    for (int i = 0; i < argc; ++i) {
        std::string arg = argv[i];
        if (!operandsOnly && arg == "-h") arg = "--help";
        if (!operandsOnly && arg == "--") {
            operandsOnly = true;
        } else if (!operandsOnly && arg.size() > 1 && arg[0] == '-') {
            // "--threads=2" is "--threads 2".
            const size_t equals = arg.find('=');
            if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
                line.options.push_back(arg.substr(0, equals));
                line.values[arg.substr(0, equals)] = arg.substr(equals + 1);
                continue;
            }
            line.options.push_back(arg);
            for (const char* valueOption : valueOptions) {
                if (arg != valueOption) continue;
                if (i + 1 < argc) {
                    line.values[arg] = argv[++i];
                } else {
                    line.missingValue = arg;
                }
            }
        } else {
            line.operands.push_back(arg);
        }
    }
    return line;
}

}  // namespace sonocap

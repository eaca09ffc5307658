#pragma once

#include <cstdint>
#include <string>

namespace sonocap {

// What was wrong with a file, and where: the offset of the byte or record that broke the rule.
struct FileError {
    uint64_t offset = 0;
    std::string message;
};

}  // namespace sonocap

#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

// Blocks whose packets were worked out by hand from the format's rules.

namespace sonocap::test {

struct WorkedPacket {
    const char* name;
    std::vector<int16_t> frames;  // interleaved left, right
    std::vector<uint32_t> words;
};

std::vector<WorkedPacket> WorkedPackets();

inline void PrintTo(const WorkedPacket& packet, std::ostream* os) {
    *os << packet.name;
}

}  // namespace sonocap::test

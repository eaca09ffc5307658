#include "tests/codec/worked_packets.h"

namespace sonocap::test {

std::vector<WorkedPacket> WorkedPackets() {
    std::vector<uint32_t> silence(129, 0xFFFFFFFFu);
    silence[0] = 0x00000800;
    return {
        // No frames: every cost is 0/0, so every candidate wins and k = 15, order 3 remain.
        {"Empty", {}, {0x03EE0000}},
        // 4 096 one-bit codes of value 1.
        {"Silence2048", std::vector<int16_t>(2 * 2048, 0), silence},
        // Left e2 = 0, 1, 0, 0: k = 2 beats k = 1; the right channel is silent.
        {"Ramp", {0, 0, 1, 0, 2, 0, 3, 0}, {0x00010004, 0x00000FAE}},
        // Left e2 = 0, 0, 0, 5000: k = 1 with one escape.
        {"OneEscape", {0, 0, 0, 0, 0, 0, 5000, 0}, {0x00000004, 0x00F13887}},
        // Left e2 = 1000, -1000, 1000, 0: k = 11, the third code split across words.
        {"SplitCode", {1000, 0, 0, 0, 0, 0, 0, 0}, {0x000A0004, 0xFA00C7E8, 0x0000F801}},
        // n = 3: 19/48 rounds up in single precision, so order 3 replaces order 2.
        {"ThreeFramesOrder3", {0, 0, 399, 0, 798, 0}, {0x01000003, 0x003C063D}},
        // n = 2: the same residuals; the costs are exact and order 2 stays.
        {"TwoFramesOrder2", {0, 0, 399, 0}, {0x00000002, 0x000C063D}},
        // n = 1: left 5 needs k = 4 (code 13); order 3 only ties.
        {"OneFrame", {5, 0}, {0x00030001, 0x0000001D}},
        // -32768 is never inside a threshold: escape with the raw bits 0x8000.
        {"MinimumSampleEscapes", {-32768, 0}, {0x00000001, 0x00030000}},
    };
}

}  // namespace sonocap::test

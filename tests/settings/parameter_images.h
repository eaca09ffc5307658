#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

// Parameter files built byte by byte, independently of the code that writes them.

namespace sonocap::testing {

using Bytes = std::vector<uint8_t>;

inline void PutLE32(Bytes& bytes, std::size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

// A valid 272-byte file: magic 67 19 04 23, the directory text at offset 4 with its
// terminator, compression at 264 and dcFilter at 268.
inline Bytes ValidParameterImage(const std::string& lastDirectory, uint32_t compression,
                                 uint32_t dcFilter) {
    Bytes bytes(272, 0);
    bytes[0] = 0x67;
    bytes[1] = 0x19;
    bytes[2] = 0x04;
    bytes[3] = 0x23;
    for (std::size_t i = 0; i < lastDirectory.size(); ++i) bytes[4 + i] = lastDirectory[i];
    PutLE32(bytes, 264, compression);
    PutLE32(bytes, 268, dcFilter);
    return bytes;
}

inline void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct InvalidFileCase {
    const char* name;
    Bytes bytes;
};

inline void PrintTo(const InvalidFileCase& file, std::ostream* out) {
    *out << file.name;
}

inline std::vector<InvalidFileCase> InvalidParameterFiles() {
    const Bytes valid = ValidParameterImage("/home/rec/takes", 1, 1);
    Bytes shorter(valid.begin(), valid.end() - 1);
    Bytes longer = valid;
    longer.push_back(0);
    Bytes swappedMagic = valid;
    swappedMagic[0] = 0x23;
    swappedMagic[1] = 0x04;
    swappedMagic[2] = 0x19;
    swappedMagic[3] = 0x67;
    Bytes zeroMagic = valid;
    PutLE32(zeroMagic, 0, 0);
    Bytes unterminated = valid;
    for (std::size_t i = 4; i < 264; ++i) unterminated[i] = 'd';
    return {
        {"Empty", {}},
        {"Bytes271", shorter},
        {"Bytes273", longer},
        {"ByteSwappedMagic", swappedMagic},
        {"ZeroMagic", zeroMagic},
        {"DirectoryWithoutTerminator", unterminated},
    };
}

}  // namespace sonocap::testing

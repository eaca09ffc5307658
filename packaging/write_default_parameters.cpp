// Writes the parameter file of a fresh installation, the defaults in the program's own format:
//   write_default_parameters FILE
#include <cstdio>

#include "settings/parameter_record.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_default_parameters FILE\n");
        return 2;
    }
    sonocap::ParameterRecord record{};
    sonocap::SetDefaultParameters(record);
    const sonocap::ParameterImage image = sonocap::EncodeParameterRecord(record);
    std::FILE* file = std::fopen(argv[1], "wb");
    const bool written =
        file != nullptr && std::fwrite(image.data(), 1, image.size(), file) == image.size();
    if (file == nullptr || std::fclose(file) != 0 || !written) {
        std::fprintf(stderr, "write_default_parameters: %s: cannot be written\n", argv[1]);
        return 1;
    }
    return 0;
}

// Writes the parameter file of a fresh installation, the defaults in the program's own format:
//   write_default_parameters [--if-absent] FILE
// With --if-absent a file already there (or a link of that name) is left as it is.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "settings/parameter_record.h"

int main(int argc, char** argv) {
    const bool ifAbsent = argc == 3 && std::strcmp(argv[1], "--if-absent") == 0;
    if (argc != 2 && !ifAbsent) {
        std::fprintf(stderr, "usage: write_default_parameters [--if-absent] FILE\n");
        return 2;
    }
    const char* path = argv[argc - 1];
    sonocap::ParameterRecord record{};
    sonocap::SetDefaultParameters(record);
    const sonocap::ParameterImage image = sonocap::EncodeParameterRecord(record);
    // "x": created only when no entry of that name exists, never through a link.
    std::FILE* file = std::fopen(path, ifAbsent ? "wbx" : "wb");
    if (file == nullptr && ifAbsent && errno == EEXIST) return 0;
    const bool written =
        file != nullptr && std::fwrite(image.data(), 1, image.size(), file) == image.size();
    if (file == nullptr || std::fclose(file) != 0 || !written) {
        std::fprintf(stderr, "write_default_parameters: %s: cannot be written\n", path);
        return 1;
    }
    return 0;
}

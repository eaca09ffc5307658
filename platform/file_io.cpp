#include "platform/file_io.h"

#include "platform/posix/posix_file_io.h"

namespace sonocap::platform {

namespace {
FileIo* installedFileIo = nullptr;
}

FileIo& CurrentFileIo() {
    static PosixFileIo real;
    return installedFileIo != nullptr ? *installedFileIo : real;
}

void InstallFileIo(FileIo* files) {
    installedFileIo = files;
}

}  // namespace sonocap::platform

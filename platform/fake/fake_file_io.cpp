#include "platform/fake/fake_file_io.h"

#include <algorithm>

namespace sonocap::platform {

FileHandle FakeFileIo::OpenForReading(const std::string& path) {
    openedPaths.push_back(path);
    if (refuseOpen) return kNoFile;
    const FileHandle file = real_.OpenForReading(path);
    if (file != kNoFile) ++openFiles;
    return file;
}

FileHandle FakeFileIo::CreateForWriting(const std::string& path) {
    createdPaths.push_back(path);
    if (journal != nullptr) journal->Add("file create");
    if (refuseCreate) return kNoFile;
    const FileHandle file = real_.CreateForWriting(path);
    if (file != kNoFile) ++openFiles;
    writtenBytes_ = 0;
    return file;
}

int64_t FakeFileIo::Length(FileHandle file) {
    return real_.Length(file);
}

std::size_t FakeFileIo::Read(FileHandle file, void* data, std::size_t bytes) {
    return real_.Read(file, data, std::min(bytes, readLimitBytes.value_or(bytes)));
}

std::size_t FakeFileIo::Write(FileHandle file, const void* data, std::size_t bytes) {
    std::size_t allowed = bytes;
    if (diskSpaceBytes) {
        allowed = std::min(bytes, *diskSpaceBytes - std::min(*diskSpaceBytes, writtenBytes_));
    }
    const std::size_t written = real_.Write(file, data, allowed);
    writtenBytes_ += written;
    if (journal != nullptr) journal->Add("file write " + std::to_string(bytes));
    return written;
}

int64_t FakeFileIo::Seek(FileHandle file, int64_t offset) {
    if (journal != nullptr) journal->Add("file seek " + std::to_string(offset));
    return real_.Seek(file, offset);
}

bool FakeFileIo::Close(FileHandle file) {
    if (journal != nullptr) journal->Add("file close");
    --openFiles;
    const bool closed = real_.Close(file);
    return closed && !closeFails;
}

}  // namespace sonocap::platform

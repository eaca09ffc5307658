#include "platform/fake/fake_file_io.h"

#include <algorithm>
#include <cerrno>

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
    if (refuseCreate) {
        lastError_ = EACCES;
        return kNoFile;
    }
    const FileHandle file = real_.CreateForWriting(path);
    if (file != kNoFile) ++openFiles;
    offset_ = 0;
    writes_ = 0;
    lastError_ = 0;
    return file;
}

FileHandle FakeFileIo::OpenForUpdate(const std::string& path) {
    if (journal != nullptr) journal->Add("file update");
    if (refuseOpen) {
        lastError_ = EACCES;
        return kNoFile;
    }
    const FileHandle file = real_.OpenForUpdate(path);
    if (file != kNoFile) ++openFiles;
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
        allowed = std::min(bytes, *diskSpaceBytes - std::min(*diskSpaceBytes, offset_));
    }
    if (allowed < bytes) lastError_ = ENOSPC;
    ++writes_;
    if (failingWrite && writes_ == *failingWrite) {
        allowed = 0;
        lastError_ = EIO;
    }
    const std::size_t written = allowed > 0 ? real_.Write(file, data, allowed) : 0;
    offset_ += written;
    if (journal != nullptr) journal->Add("file write " + std::to_string(bytes));
    return written;
}

std::size_t FakeFileIo::WriteAt(FileHandle file, int64_t offset, const void* data,
                                std::size_t bytes) {
    if (journal != nullptr) {
        journal->Add("file write at " + std::to_string(offset) + " " + std::to_string(bytes));
    }
    return real_.WriteAt(file, offset, data, bytes);
}

void FakeFileIo::StartWriteBack(FileHandle file, int64_t offset, int64_t bytes) {
    if (journal != nullptr) journal->Add("file write-back " + std::to_string(bytes));
    real_.StartWriteBack(file, offset, bytes);
}

void FakeFileIo::RequestDataSync(FileHandle file) {
    if (journal != nullptr) journal->Add("file sync requested");
    real_.RequestDataSync(file);
}

bool FakeFileIo::SyncData(FileHandle file) {
    if (journal != nullptr) journal->Add("file sync");
    return real_.SyncData(file);
}

void FakeFileIo::RequestDirectorySync(const std::string& path) {
    if (journal != nullptr) journal->Add("folder sync requested");
    real_.RequestDirectorySync(path);
}

bool FakeFileIo::ReplaceContents(const std::string& path, const std::string& contents) {
    if (refuseReplace) {
        lastError_ = EACCES;
        return false;
    }
    return real_.ReplaceContents(path, contents);
}

bool FakeFileIo::Truncate(FileHandle file, int64_t length) {
    if (journal != nullptr) journal->Add("file truncate " + std::to_string(length));
    return real_.Truncate(file, length);
}

int64_t FakeFileIo::Seek(FileHandle file, int64_t offset) {
    if (journal != nullptr) journal->Add("file seek " + std::to_string(offset));
    const int64_t result = real_.Seek(file, offset);
    if (result >= 0) offset_ = static_cast<std::size_t>(result);
    return result;
}

bool FakeFileIo::Close(FileHandle file) {
    if (journal != nullptr) journal->Add("file close");
    --openFiles;
    const bool closed = real_.Close(file);
    return closed && !closeFails;
}

}  // namespace sonocap::platform

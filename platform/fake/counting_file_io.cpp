#include "platform/fake/counting_file_io.h"

#include <algorithm>
#include <cstring>

namespace sonocap::platform {

FileHandle CountingFileIo::OpenForReading(const std::string& path) {
    if (files_.count(path) == 0) return kNoFile;
    open_[next_] = Open{path, 0};
    ++openFiles;
    return next_++;
}

FileHandle CountingFileIo::CreateForWriting(const std::string& path) {
    files_[path] = Contents{};
    open_[next_] = Open{path, 0};
    ++openFiles;
    return next_++;
}

int64_t CountingFileIo::Length(FileHandle file) {
    const auto found = open_.find(file);
    return found == open_.end() ? -1 : files_[found->second.path].length;
}

std::size_t CountingFileIo::Read(FileHandle file, void* data, std::size_t bytes) {
    const auto found = open_.find(file);
    if (found == open_.end()) return 0;
    const Contents& contents = files_[found->second.path];
    const auto offset = static_cast<std::size_t>(found->second.offset);
    if (offset >= contents.head.size()) return 0;
    const std::size_t n = std::min(bytes, contents.head.size() - offset);
    std::memcpy(data, contents.head.data() + offset, n);
    found->second.offset += static_cast<int64_t>(n);
    return n;
}

std::size_t CountingFileIo::Write(FileHandle file, const void* data, std::size_t bytes) {
    const auto found = open_.find(file);
    if (found == open_.end()) return 0;
    Contents& contents = files_[found->second.path];
    const auto offset = static_cast<std::size_t>(found->second.offset);
    if (offset < kKeptBytes) {
        const std::size_t kept = std::min(bytes, kKeptBytes - offset);
        if (contents.head.size() < offset + kept) contents.head.resize(offset + kept);
        std::memcpy(contents.head.data() + offset, data, kept);
    }
    found->second.offset += static_cast<int64_t>(bytes);
    contents.length = std::max(contents.length, found->second.offset);
    return bytes;
}

std::size_t CountingFileIo::WriteAt(FileHandle file, int64_t offset, const void* data,
                                    std::size_t bytes) {
    const auto found = open_.find(file);
    if (found == open_.end()) return 0;
    const int64_t was = found->second.offset;
    found->second.offset = offset;
    const std::size_t written = Write(file, data, bytes);
    found->second.offset = was;
    return written;
}

bool CountingFileIo::Truncate(FileHandle file, int64_t length) {
    const auto found = open_.find(file);
    if (found == open_.end() || length < 0) return false;
    Contents& contents = files_[found->second.path];
    contents.length = length;
    if (contents.head.size() > static_cast<std::size_t>(length)) contents.head.resize(length);
    return true;
}

int64_t CountingFileIo::Seek(FileHandle file, int64_t offset) {
    const auto found = open_.find(file);
    if (found == open_.end() || offset < 0) return -1;
    found->second.offset = offset;
    return offset;
}

bool CountingFileIo::Close(FileHandle file) {
    if (open_.erase(file) == 0) return false;
    --openFiles;
    return true;
}

const std::vector<uint8_t>& CountingFileIo::HeadOf(const std::string& path) const {
    static const std::vector<uint8_t> none;
    const auto found = files_.find(path);
    return found == files_.end() ? none : found->second.head;
}

int64_t CountingFileIo::LengthOf(const std::string& path) const {
    const auto found = files_.find(path);
    return found == files_.end() ? -1 : found->second.length;
}

}  // namespace sonocap::platform

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A regular file mapped read-only into memory for the length of a command.

namespace sonocap {

class MappedFile {
  public:
    MappedFile() = default;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile();

    // False with `error` set (the system's reason) when the file cannot be read.
    bool Open(const std::string& path, std::string& error);

    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

  private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    void* mapping_ = nullptr;
};

}  // namespace sonocap

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// An output file that appears under its name only when it is complete: the bytes go to a
// temporary file beside it, which Commit renames over the name. Until then, and if the command
// fails, nothing under the name is touched, and the temporary file is removed.

namespace sonocap {

class OutputFile {
  public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    bool Create(const std::string& path);
    // Appends bytes (buffered).
    bool Write(const void* data, size_t bytes);
    // Overwrites bytes already written, such as a header whose sizes are known only at the end.
    bool WriteAt(uint64_t offset, const void* data, size_t bytes);
    bool Commit();

    // The system's reason for the first failure.
    const std::string& error() const { return error_; }

  private:
    bool Flush();
    bool Fail();

    std::string path_;
    std::string tempPath_;
    int fd_ = -1;
    std::vector<uint8_t> buffer_;
    std::string error_;
};

}  // namespace sonocap

#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "codec/byte_window.h"
#include "tools/report.h"

// An input of sonocap-cx, a file or standard input ("-"), read with read(2) rather than mapped,
// so that a file cut short by someone else while it is read is an error and not a crash. A file
// whose size changes while it is read fails with kInputChanged.

namespace sonocap {

inline constexpr char kInputChanged[] = "input changed while it was read";

class InputFile : public ByteSource {
  public:
    InputFile() = default;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile() override;

    // Opens `path` ("-": standard input) without reading.
    Outcome Open(const std::string& path);
    // Reads up to `bytes` more into `into`; `got` is less only at the end of the input.
    Outcome Read(uint8_t* into, size_t bytes, size_t& got);
    // A regular file only: reads `bytes` at `offset`, counted from where reading starts, without
    // moving on, from any thread. Fewer bytes than asked are a failure: the file changed.
    Outcome ReadAt(uint64_t offset, uint8_t* into, size_t bytes) const;
    // A regular file only: moves on by `bytes` that were read with ReadAt.
    Outcome Skip(uint64_t bytes);
    // After reading: a failure when the file's size changed since it was opened.
    Outcome CheckUnchanged() const;
    // The name it was opened by.
    const std::string& Path() const { return path_; }

    // The same for a ByteWindow; the end of a regular file is also checked for a change.
    std::optional<std::string> ReadSome(uint8_t* into, size_t bytes, size_t& got) override;
    std::optional<uint64_t> KnownLength() const override;
    // Brings the window's pages in at once.
    void PrepareBuffer(uint8_t* buffer, size_t bytes) override;
    // A regular file, whose length was known when it was opened.
    bool IsRegular() const { return regular_; }
    uint64_t LengthAtOpen() const { return lengthAtOpen_; }
    dev_t Device() const { return device_; }
    ino_t Inode() const { return inode_; }

  private:
    std::string path_;
    int fd_ = -1;
    bool ownsFd_ = false;
    bool regular_ = false;
    uint64_t lengthAtOpen_ = 0;  // bytes from where reading starts
    uint64_t startAtOpen_ = 0;   // where reading starts
    off_t fileSizeAtOpen_ = 0;
    uint64_t consumed_ = 0;  // bytes read so far
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

}  // namespace sonocap

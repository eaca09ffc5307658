#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// An input of sonocap-cx, a file or standard input ("-"), read with read(2) rather than mapped,
// so that a file cut short by someone else while it is read is an error and not a crash. A file
// whose size changes while it is read fails with kInputChanged.

namespace sonocap {

inline constexpr char kInputChanged[] = "input changed while it was read";

// Gives back the memory that holds a whole input.
struct InputMemoryRelease {
    size_t bytes = 0;
    void operator()(uint8_t* p) const;
};

class InputFile {
  public:
    InputFile() = default;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    // Opens `path` ("-": standard input) without reading; false with `error` set.
    bool Open(const std::string& path, std::string& error);
    // Reads the whole input into memory: data() and size() hold it afterwards.
    bool Load(std::string& error);
    // A regular file only: reads on into memory until size() holds `bytes` of it (or all of it),
    // so that work can start on the beginning while the rest is still to come. data() holds
    // room for the whole file from the first call on and never moves.
    bool LoadUpTo(uint64_t bytes, std::string& error);
    // Reads up to `bytes` more into `into`; `got` is less only at the end of the input.
    bool Read(uint8_t* into, size_t bytes, size_t& got, std::string& error);
    // After reading: false when the file's size changed since it was opened.
    bool CheckUnchanged(std::string& error) const;

    const uint8_t* data() const { return data_.get(); }
    size_t size() const { return size_; }
    // A regular file, whose length was known when it was opened.
    bool IsRegular() const { return regular_; }
    uint64_t LengthAtOpen() const { return lengthAtOpen_; }
    dev_t Device() const { return device_; }
    ino_t Inode() const { return inode_; }

  private:
    int fd_ = -1;
    bool ownsFd_ = false;
    bool regular_ = false;
    uint64_t lengthAtOpen_ = 0;  // bytes from where reading starts
    off_t fileSizeAtOpen_ = 0;
    uint64_t consumed_ = 0;  // bytes read so far
    dev_t device_ = 0;
    ino_t inode_ = 0;
    std::unique_ptr<uint8_t, InputMemoryRelease> data_;
    size_t size_ = 0;
    bool complete_ = false;  // the whole file was read, and found not to have grown
};

}  // namespace sonocap

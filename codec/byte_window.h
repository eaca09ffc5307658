#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// A window that moves forward over a recording's bytes, so that a file of any length, or a pipe,
// is read in a fixed amount of memory. The readers of both formats look at the bytes only through
// it; a window over bytes already in memory costs nothing.

namespace sonocap {

// Where the bytes come from: a file or a pipe, read front to back.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Reads up to `bytes` more into `into`; `got` is less only at the end of the input. Returns
    // the reason on failure.
    virtual std::optional<std::string> ReadSome(uint8_t* into, size_t bytes, size_t& got) = 0;
    // The input's length, when it is known before it is read (a regular file).
    virtual std::optional<uint64_t> KnownLength() const { return std::nullopt; }
    // Called once with the buffer that the bytes will be read into, before the first read: a
    // source may prepare its memory.
    virtual void PrepareBuffer(uint8_t* /*buffer*/, size_t /*bytes*/) {}
};

// Room for several of the longest records, so that a refill moves little.
inline constexpr size_t kWindowBytes = size_t{256} << 10;

class ByteWindow {
  public:
    // All `size` bytes at `data`, which outlive the window.
    ByteWindow(const uint8_t* data, size_t size);
    // The bytes of `source`, through a buffer of `capacity` bytes.
    explicit ByteWindow(ByteSource& source, size_t capacity = kWindowBytes);
    ByteWindow(const ByteWindow&) = delete;
    ByteWindow& operator=(const ByteWindow&) = delete;

    // Brings bytes [at, at + bytes) into the window, as far as the input holds them, and returns
    // how many it holds: fewer only at the end of the input or after a read error. The window
    // moves only forward: `at` may not lie before the `at` of an earlier call, and the bytes before
    // `at` may be gone afterwards. `bytes` is at most the capacity.
    size_t Reach(uint64_t at, size_t bytes);
    // A byte of the last Reach.
    const uint8_t* At(uint64_t offset) const { return data_ + (offset - start_); }

    // The first read error; the input counts as ended there.
    const std::optional<std::string>& Error() const { return error_; }
    // The input's length: known at once in memory and for a regular file, otherwise found by
    // reading on to the end (the window then lies there).
    uint64_t Length();
    // Whether Length() is known without reading on.
    bool LengthKnown() const { return length_.has_value(); }
    size_t Capacity() const { return capacity_; }

  private:
    void ReadOn(size_t want);
    // Moves the bytes held from `from` on, the first at input offset `offset`, to the buffer's
    // start, in step with their offsets, so that the kernel's copies of the reads run at full
    // speed.
    void Keep(size_t from, uint64_t offset);

    std::unique_ptr<uint8_t[]> buffer_;  // capacity_ bytes and a line to spare
    uint8_t* held_ = nullptr;            // in the buffer: in step with the input's offsets
    const uint8_t* data_ = nullptr;
    ByteSource* source_ = nullptr;
    size_t capacity_ = 0;
    uint64_t start_ = 0;  // offset of data_[0] in the input
    size_t filled_ = 0;   // bytes at data_
    bool ended_ = false;
    std::optional<uint64_t> length_;
    std::optional<std::string> error_;
};

}  // namespace sonocap

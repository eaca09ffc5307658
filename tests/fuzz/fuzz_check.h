#pragma once

#include <cstdio>
#include <cstdlib>

// A property of a fuzz target that must hold for every input; a failure aborts, so that the
// fuzzer keeps the input as a crash.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "codec/byte_window.h"

// The fuzz input as a file or pipe gives it: in pieces of a size taken from its first byte, so
// that the window's refills fall everywhere; its length known beforehand or not.
class PieceSource : public sonocap::ByteSource {
  public:
    PieceSource(const uint8_t* data, size_t size, bool lengthKnown)
        : data_(data),
          size_(size),
          lengthKnown_(lengthKnown),
          piece_(size == 0 ? 1 : 1 + size_t{data[0]} * 61) {}
    std::optional<std::string> ReadSome(uint8_t* into, size_t bytes, size_t& got) override {
        got = std::min({bytes, piece_, size_ - at_});
        if (got > 0) std::memcpy(into, data_ + at_, got);
        at_ += got;
        return std::nullopt;
    }
    std::optional<uint64_t> KnownLength() const override {
        if (!lengthKnown_) return std::nullopt;
        return size_;
    }

  private:
    const uint8_t* data_;
    size_t size_;
    bool lengthKnown_;
    size_t piece_;
    size_t at_ = 0;
};

// The smallest window the checks work through: one piece of a WAV's samples.
inline constexpr size_t kFuzzWindowBytes = 64 << 10;

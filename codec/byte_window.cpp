#include "codec/byte_window.h"

#include <algorithm>
#include <cstring>

#include "codec/lined_up.h"
#include "codec/precondition.h"

namespace sonocap {

ByteWindow::ByteWindow(const uint8_t* data, size_t size)
    : data_(data), capacity_(size), filled_(size), ended_(true), length_(size) {}

ByteWindow::ByteWindow(ByteSource& source, size_t capacity)
    : buffer_(new uint8_t[capacity + kLineBytes]),
      held_(LinedUp(buffer_.get(), 0)),
      data_(held_),
      source_(&source),
      capacity_(capacity),
      length_(source.KnownLength()) {
    source.PrepareBuffer(buffer_.get(), capacity + kLineBytes);
}

void ByteWindow::Keep(size_t from, uint64_t offset) {
    uint8_t* const to = LinedUp(buffer_.get(), offset);
    std::memmove(to, held_ + from, filled_ - from);
    filled_ -= from;
    data_ = held_ = to;
}

void ByteWindow::ReadOn(size_t want) {
    while (!ended_ && filled_ < want) {
        size_t got = 0;
        if (auto error = source_->ReadSome(held_ + filled_, capacity_ - filled_, got)) {
            error_ = std::move(error);
            ended_ = true;
        } else if (got == 0) {
            ended_ = true;
            length_ = start_ + filled_;
        }
        filled_ += got;
    }
}

size_t ByteWindow::Reach(uint64_t at, size_t bytes) {
    Require(at >= start_, "the byte window moves only forward");
    const uint64_t end = start_ + filled_;
    if (at + bytes <= end || source_ == nullptr) {
        return static_cast<size_t>(std::min<uint64_t>(bytes, end > at ? end - at : 0));
    }
    Require(bytes <= capacity_, "a reach within the byte window's capacity");
    if (at < end) {
        Keep(static_cast<size_t>(at - start_), at);
    } else {
        // Bytes between the window and `at` are read and dropped.
        start_ = end;
        filled_ = 0;
        data_ = held_ = LinedUp(buffer_.get(), end);
        for (uint64_t skip = at - end; skip > 0 && !ended_;) {
            ReadOn(static_cast<size_t>(std::min<uint64_t>(skip, capacity_)));
            const size_t dropped = static_cast<size_t>(std::min<uint64_t>(skip, filled_));
            Keep(dropped, start_ + dropped);
            skip -= dropped;
            start_ += dropped;
        }
        if (start_ + filled_ < at) return 0;  // the input ended before `at`
    }
    start_ = at;
    ReadOn(bytes);
    return std::min(bytes, filled_);
}

uint64_t ByteWindow::Length() {
    while (!length_ && !ended_) Reach(start_ + filled_, capacity_);
    return length_ ? *length_ : start_ + filled_;
}

}  // namespace sonocap

#pragma once

#include <cstddef>

#include "platform/layer.h"

// Fixed (non-moving) blocks of memory whose contents are undefined.

namespace sonocap::platform {

class Allocator {
  public:
    virtual ~Allocator() = default;

    // A block of `bytes` bytes, or nullptr when there is no memory for it.
    virtual void* Allocate(std::size_t bytes) = 0;

    // Gives back a block that Allocate returned; false when the block could not be released.
    virtual bool Release(void* block) = 0;
};

template <>
inline constexpr const char* kLayerName<Allocator> = "memory";

}  // namespace sonocap::platform

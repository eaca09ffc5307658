#pragma once

#include "platform/allocator.h"

namespace sonocap::platform {

class HeapAllocator final : public Allocator {
  public:
    void* Allocate(std::size_t bytes) override;
    bool Release(void* block) override;
};

}  // namespace sonocap::platform

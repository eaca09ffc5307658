#pragma once

#include <cstddef>
#include <map>

#include "platform/allocator.h"

namespace sonocap::platform {

// Hands out real memory whose address lies `misalignment` bytes past a multiple of 32, so
// that a test chooses how far a block is from the next boundary. Fails on demand.
class FakeAllocator final : public Allocator {
  public:
    ~FakeAllocator() override;

    void* Allocate(std::size_t bytes) override;
    bool Release(void* block) override;

    // Blocks handed out and not yet released.
    std::size_t LiveBlocks() const { return blocks_.size(); }
    // Size that was asked for when `block` was handed out; 0 for an unknown block.
    std::size_t SizeOf(const void* block) const;

    std::size_t misalignment = 0;
    bool failAllocations = false;
    // Allocations that succeed before every further one fails; negative: no limit.
    int allocationsBeforeFailure = -1;
    bool failReleases = false;
    int allocateCalls = 0;
    int releaseCalls = 0;

  private:
    struct Block {
        void* base;
        std::size_t bytes;
    };
    std::map<const void*, Block> blocks_;
};

}  // namespace sonocap::platform

#include "platform/fake/fake_allocator.h"

#include <cstdlib>

namespace sonocap::platform {

namespace {
constexpr std::size_t kBoundary = 32;
}

FakeAllocator::~FakeAllocator() {
    for (auto& [block, info] : blocks_) std::free(info.base);
}

void* FakeAllocator::Allocate(std::size_t bytes) {
    ++allocateCalls;
    if (failAllocations) return nullptr;
    if (allocationsBeforeFailure == 0) return nullptr;
    if (allocationsBeforeFailure > 0) --allocationsBeforeFailure;
    const std::size_t offset = misalignment % kBoundary;
    // aligned_alloc wants a multiple of the alignment as its size.
    const std::size_t total = (bytes + offset + kBoundary) / kBoundary * kBoundary;
    void* base = std::aligned_alloc(kBoundary, total);
    if (base == nullptr) return nullptr;
    void* block = static_cast<char*>(base) + offset;
    blocks_[block] = Block{base, bytes};
    return block;
}

bool FakeAllocator::Release(void* block) {
    ++releaseCalls;
    if (failReleases) return false;
    const auto it = blocks_.find(block);
    if (it == blocks_.end()) return false;
    std::free(it->second.base);
    blocks_.erase(it);
    return true;
}

std::size_t FakeAllocator::SizeOf(const void* block) const {
    const auto it = blocks_.find(block);
    return it == blocks_.end() ? 0 : it->second.bytes;
}

}  // namespace sonocap::platform

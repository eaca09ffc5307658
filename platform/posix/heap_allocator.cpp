#include "platform/posix/heap_allocator.h"

#include <cstdlib>

namespace sonocap::platform {

void* HeapAllocator::Allocate(std::size_t bytes) {
    // malloc(0) may return nullptr on success; a zero-byte block is still a block.
    return std::malloc(bytes == 0 ? 1 : bytes);
}

bool HeapAllocator::Release(void* block) {
    std::free(block);
    return true;
}

}  // namespace sonocap::platform

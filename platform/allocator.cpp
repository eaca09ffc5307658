#include "platform/allocator.h"

#include "platform/posix/heap_allocator.h"

namespace sonocap::platform {

namespace {
Allocator* installedAllocator = nullptr;
}

Allocator& CurrentAllocator() {
    static HeapAllocator heap;
    return installedAllocator != nullptr ? *installedAllocator : heap;
}

void InstallAllocator(Allocator* allocator) {
    installedAllocator = allocator;
}

}  // namespace sonocap::platform

#include "platform/posix/heap_allocator.h"

#include <cstring>

#include <gtest/gtest.h>

namespace sonocap::platform {
namespace {

TEST(HeapAllocator, HandsOutWritableBlocksAndTakesThemBack) {
    HeapAllocator heap;
    for (std::size_t bytes : {std::size_t{0}, std::size_t{31}, std::size_t{393247}}) {
        void* block = heap.Allocate(bytes);
        ASSERT_NE(block, nullptr) << bytes;
        std::memset(block, 0x5a, bytes);
        EXPECT_TRUE(heap.Release(block));
    }
}

}  // namespace
}  // namespace sonocap::platform

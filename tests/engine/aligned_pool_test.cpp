#include "engine/aligned_pool.h"

#include <cstring>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "platform/fake/fake_allocator.h"
#include "platform/posix/heap_allocator.h"

namespace sonocap {
namespace {

uintptr_t Address(const void* p) {
    return reinterpret_cast<uintptr_t>(p);
}

// Gives back whatever a test left in the pool, holes and the never-handed-out last block
// included.
void EmptyPool() {
    for (int32_t i = PoolCount() - 1; i >= 0; --i) {
        if (PoolEntryAt(i).raw != nullptr) PoolFree(PoolEntryAt(i).aligned);
    }
}

class AlignedPoolTest : public ::testing::Test {
  protected:
    void SetUp() override { platform::Install<platform::Allocator>(&allocator_); }
    void TearDown() override {
        allocator_.failReleases = false;
        EmptyPool();
        EXPECT_EQ(PoolCount(), 0);
        EXPECT_EQ(allocator_.LiveBlocks(), 0u);
        platform::Install<platform::Allocator>(nullptr);
    }

    std::vector<PoolEntry> Table() const {
        std::vector<PoolEntry> table;
        for (int32_t i = 0; i < kPoolEntries; ++i) table.push_back(PoolEntryAt(i));
        return table;
    }

    static bool SameTable(const std::vector<PoolEntry>& a, const std::vector<PoolEntry>& b) {
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (a[i].raw != b[i].raw || a[i].aligned != b[i].aligned) return false;
        }
        return a.size() == b.size();
    }

    platform::FakeAllocator allocator_;
};

class PoolAlignment : public AlignedPoolTest,
                      public ::testing::WithParamInterface<std::tuple<int32_t, std::size_t>> {};

TEST_P(PoolAlignment, BlockStartsOnA32ByteBoundaryInsideItsAllocation) {
    const auto [bytes, misalignment] = GetParam();
    allocator_.misalignment = misalignment;
    void* block = PoolAlloc(bytes);
    const PoolEntry& entry = PoolEntryAt(0);
    ASSERT_EQ(entry.aligned, block);
    EXPECT_EQ(Address(block) % 32, 0u);
    EXPECT_EQ(allocator_.SizeOf(entry.raw), static_cast<std::size_t>(bytes) + 31);
    EXPECT_GE(Address(block), Address(entry.raw));
    EXPECT_LE(Address(block) + bytes, Address(entry.raw) + bytes + 31);
    if (misalignment == 0) {
        EXPECT_EQ(block, entry.raw);
    }
    std::memset(block, 0xa5, static_cast<std::size_t>(bytes));
    PoolFree(block);
}

INSTANTIATE_TEST_SUITE_P(SizesAndOffsets, PoolAlignment,
                         ::testing::Combine(::testing::Values(0, 1, 31, 32, 393216),
                                            ::testing::Values(std::size_t{0}, std::size_t{1},
                                                              std::size_t{15}, std::size_t{16},
                                                              std::size_t{17}, std::size_t{31})));

class PoolAlignmentOnTheHeap : public ::testing::TestWithParam<int32_t> {};

TEST_P(PoolAlignmentOnTheHeap, UsableBytesLieInsideTheAllocation) {
    platform::HeapAllocator heap;
    const platform::LayerGuard<platform::Allocator> real(heap);
    const int32_t bytes = GetParam();
    void* block = PoolAlloc(bytes);
    EXPECT_EQ(Address(block) % 32, 0u);
    // Under the address sanitizer this catches any usable byte outside the allocation.
    std::memset(block, 0x5a, static_cast<std::size_t>(bytes));
    PoolFree(block);
    EXPECT_EQ(PoolCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, PoolAlignmentOnTheHeap, ::testing::Values(0, 1, 31, 32, 393216));

TEST_F(AlignedPoolTest, BlocksAreRecordedAtTheCountInOrder) {
    void* first = PoolAlloc(10);
    void* second = PoolAlloc(20);
    EXPECT_EQ(PoolCount(), 2);
    EXPECT_EQ(PoolEntryAt(0).aligned, first);
    EXPECT_EQ(PoolEntryAt(1).aligned, second);
    EXPECT_EQ(PoolEntryAt(2).raw, nullptr);
}

TEST_F(AlignedPoolTest, RecordingBlocksFreedInTheirReleaseOrderBringTheCountBackToZero) {
    // Allocation order of a recording: headers array, buffers array, ring, six wave headers.
    void* headers = PoolAlloc(6 * sizeof(void*));
    void* buffers = PoolAlloc(6 * sizeof(void*));
    void* ring = PoolAlloc(393216);
    void* waveHeaders[6];
    for (void*& header : waveHeaders) header = PoolAlloc(32);
    ASSERT_EQ(PoolCount(), 9);

    struct Step {
        void* block;
        int32_t countAfter;
    };
    const Step steps[] = {
        {ring, 9},           {waveHeaders[0], 9}, {waveHeaders[1], 9},
        {waveHeaders[2], 9}, {waveHeaders[3], 9}, {waveHeaders[4], 9},
        {waveHeaders[5], 2}, {headers, 2},        {buffers, 0},
    };
    for (const Step& step : steps) {
        PoolFree(step.block);
        EXPECT_EQ(PoolCount(), step.countAfter);
    }
    EXPECT_EQ(allocator_.LiveBlocks(), 0u);
}

TEST_F(AlignedPoolTest, FreeingAMiddleBlockLeavesAHoleAndTheNextBlockGoesAbove) {
    PoolAlloc(8);
    void* middle = PoolAlloc(8);
    PoolAlloc(8);
    PoolFree(middle);
    EXPECT_EQ(PoolCount(), 3);
    EXPECT_EQ(PoolEntryAt(1).raw, nullptr);
    EXPECT_EQ(PoolEntryAt(1).aligned, nullptr);

    void* next = PoolAlloc(8);
    EXPECT_EQ(PoolCount(), 4);
    EXPECT_EQ(PoolEntryAt(3).aligned, next);
    EXPECT_EQ(PoolEntryAt(1).raw, nullptr);
}

TEST_F(AlignedPoolTest, CountDropsBelowEveryFreeEntryAtTheTop) {
    void* a = PoolAlloc(8);
    void* b = PoolAlloc(8);
    void* c = PoolAlloc(8);
    PoolFree(b);
    PoolFree(c);
    EXPECT_EQ(PoolCount(), 1);
    PoolFree(a);
    EXPECT_EQ(PoolCount(), 0);
}

TEST_F(AlignedPoolTest, FreeingTwiceDoesNothing) {
    PoolAlloc(8);
    void* block = PoolAlloc(8);
    PoolAlloc(8);
    PoolFree(block);
    const auto table = Table();
    const int releases = allocator_.releaseCalls;
    PoolFree(block);
    EXPECT_EQ(allocator_.releaseCalls, releases);
    EXPECT_EQ(PoolCount(), 3);
    EXPECT_TRUE(SameTable(Table(), table));
}

TEST_F(AlignedPoolTest, ForeignAddressesReleaseNothing) {
    allocator_.misalignment = 5;
    void* block = PoolAlloc(64);
    PoolAlloc(8);
    PoolFree(PoolAlloc(8));  // leaves a hole whose entry is all null
    ASSERT_EQ(PoolCount(), 2);
    int onTheStack = 0;
    const int releases = allocator_.releaseCalls;
    const auto table = Table();
    void* const foreign[] = {&onTheStack, nullptr, static_cast<char*>(block) + 1,
                             PoolEntryAt(0).raw};
    for (void* address : foreign) {
        PoolFree(address);
        EXPECT_EQ(allocator_.releaseCalls, releases) << address;
        EXPECT_EQ(PoolCount(), 2);
        EXPECT_TRUE(SameTable(Table(), table));
    }
}

TEST_F(AlignedPoolTest, PlatformFailingAnAllocationLeavesThePoolUnchanged) {
    PoolAlloc(8);
    const auto table = Table();
    allocator_.failAllocations = true;
    EXPECT_THROW(PoolAlloc(8), PoolOutOfMemory);
    EXPECT_EQ(PoolCount(), 1);
    EXPECT_TRUE(SameTable(Table(), table));
}

TEST_F(AlignedPoolTest, FailedReleaseKeepsTheEntryAndTheCount) {
    PoolAlloc(8);
    void* top = PoolAlloc(8);
    allocator_.failReleases = true;
    PoolFree(top);
    EXPECT_EQ(PoolCount(), 2);
    EXPECT_EQ(PoolEntryAt(1).aligned, top);
    EXPECT_NE(PoolEntryAt(1).raw, nullptr);
}

TEST_F(AlignedPoolTest, TheFiftiethRequestRecordsItsBlockAndStillRaisesOutOfMemory) {
    for (int32_t i = 0; i < kPoolEntries - 1; ++i) PoolAlloc(4);
    EXPECT_EQ(PoolCount(), 49);
    EXPECT_THROW(PoolAlloc(4), PoolOutOfMemory);
    EXPECT_EQ(PoolCount(), 50);
    EXPECT_NE(PoolEntryAt(49).raw, nullptr);
    EXPECT_EQ(allocator_.LiveBlocks(), 50u);
}

TEST_F(AlignedPoolTest, RequestWithEveryEntryInUseRecordsNothing) {
    for (int32_t i = 0; i < kPoolEntries - 1; ++i) PoolAlloc(4);
    EXPECT_THROW(PoolAlloc(4), PoolOutOfMemory);
    const auto table = Table();
    const int allocations = allocator_.allocateCalls;
    EXPECT_THROW(PoolAlloc(4), PoolOutOfMemory);
    EXPECT_EQ(allocator_.allocateCalls, allocations);
    EXPECT_EQ(PoolCount(), 50);
    EXPECT_TRUE(SameTable(Table(), table));
}

TEST_F(AlignedPoolTest, FreeingAHoleBelowTheLastEntryMakesNoRoom) {
    std::vector<void*> blocks;
    for (int32_t i = 0; i < kPoolEntries - 1; ++i) blocks.push_back(PoolAlloc(4));
    EXPECT_THROW(PoolAlloc(4), PoolOutOfMemory);
    PoolFree(blocks[10]);
    const int allocations = allocator_.allocateCalls;
    EXPECT_THROW(PoolAlloc(4), PoolOutOfMemory);
    EXPECT_EQ(allocator_.allocateCalls, allocations);
}

TEST_F(AlignedPoolTest, NegativeSizeRaisesOutOfMemoryAndRecordsNothing) {
    EXPECT_THROW(PoolAlloc(-1), PoolOutOfMemory);
    EXPECT_EQ(allocator_.allocateCalls, 0);
    EXPECT_EQ(PoolCount(), 0);
}

TEST_F(AlignedPoolTest, OutOfMemoryIsABadAlloc) {
    allocator_.failAllocations = true;
    EXPECT_THROW(PoolAlloc(8), std::bad_alloc);
}

}  // namespace
}  // namespace sonocap

#include "engine/aligned_pool.h"

#include <array>
#include <cstddef>

#include "platform/allocator.h"

namespace sonocap {

namespace {

std::array<PoolEntry, kPoolEntries> poolTable{};
// New blocks are always recorded at this index; freed entries below it stay holes until
// everything above them is freed too.
int32_t poolCount = 0;

void* AlignUp(void* raw) {
    const auto address = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t offset = (kPoolAlignment - address % kPoolAlignment) % kPoolAlignment;
    return static_cast<char*>(raw) + offset;
}

}  // namespace

const char* PoolOutOfMemory::what() const noexcept {
    return "aligned pool: out of memory";
}

void* PoolAlloc(int32_t bytes) {
    // No entry is left once the last one has been taken; a negative size is no request.
    if (poolCount >= kPoolEntries || bytes < 0) throw PoolOutOfMemory();

    void* raw = platform::Current<platform::Allocator>().Allocate(static_cast<std::size_t>(bytes) +
                                                                  (kPoolAlignment - 1));
    if (raw == nullptr) throw PoolOutOfMemory();

    PoolEntry& entry = poolTable[poolCount];
    entry.raw = raw;
    entry.aligned = AlignUp(raw);
    ++poolCount;
    if (poolCount == kPoolEntries) throw PoolOutOfMemory();
    return entry.aligned;
}

void PoolFree(void* block) {
    if (block != nullptr) {
        for (int32_t i = 0; i < poolCount; ++i) {
            PoolEntry& entry = poolTable[i];
            if (entry.raw == nullptr || entry.aligned != block) continue;
            // A block the platform refuses to release stays in the table.
            if (platform::Current<platform::Allocator>().Release(entry.raw)) entry = PoolEntry{};
            break;
        }
    }
    int32_t count = kPoolEntries;
    while (count > 0 && poolTable[count - 1].raw == nullptr) --count;
    poolCount = count;
}

int32_t PoolCount() {
    return poolCount;
}

const PoolEntry& PoolEntryAt(int32_t index) {
    return poolTable.at(static_cast<std::size_t>(index));
}

void ResetPool() {
    poolTable = {};
    poolCount = 0;
}

}  // namespace sonocap

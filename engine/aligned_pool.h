#pragma once

#include <cstdint>
#include <new>

// Blocks that start on a 32-byte boundary, kept in a fixed table so that a block is released
// by the address that was handed out. All the memory of a recording comes from here.

namespace sonocap {

inline constexpr int32_t kPoolEntries = 50;
inline constexpr uintptr_t kPoolAlignment = 32;

// The one exception of the program: the pool has no memory or no entry left.
class PoolOutOfMemory : public std::bad_alloc {
  public:
    const char* what() const noexcept override;
};

struct PoolEntry {
    void* raw = nullptr;      // what the platform allocator returned; nullptr: entry free
    void* aligned = nullptr;  // what was handed out
};

// A block of `bytes` usable bytes aligned to 32. Throws PoolOutOfMemory when the platform
// has no memory, when the request fills the last entry (the block stays recorded and is
// never handed out) and when no entry is left.
void* PoolAlloc(int32_t bytes);

// Releases a block that PoolAlloc handed out; any other address releases nothing.
void PoolFree(void* block);

// One more than the index of the highest entry in use; 0 for an empty table.
int32_t PoolCount();

// The entry at `index` (0 ... kPoolEntries - 1), for inspection.
const PoolEntry& PoolEntryAt(int32_t index);

// Empties the table as at program start, without releasing anything (the allocator behind the
// entries may be gone); for tests, through ResetProgramState.
void ResetPool();

}  // namespace sonocap

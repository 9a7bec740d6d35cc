// Blocks right after an inaccessible page, as a host with a guarding allocator hands them
// out: the first byte read or written in front of such a block faults at once.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>

namespace testsupport {

inline size_t PageSize() {
    return size_t(sysconf(_SC_PAGESIZE));
}

// The pages mapped for a block of byteCount bytes: the guard page and the block's own.
inline size_t GuardedMappingSize(size_t byteCount) {
    size_t page = PageSize();
    return page + (byteCount + page - 1) / page * page + (byteCount == 0 ? page : 0);
}

// A zero-filled block of byteCount bytes that starts right after an inaccessible page;
// NULL when it cannot be mapped.
inline void* NewGuardedBlock(size_t byteCount) {
    size_t total = GuardedMappingSize(byteCount);
    void* base = mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) return nullptr;
    if (mprotect(base, PageSize(), PROT_NONE) != 0) {
        munmap(base, total);
        return nullptr;
    }
    return static_cast<char*>(base) + PageSize();
}

// Unmaps a block from NewGuardedBlock made with the same byte count.
inline void DisposeGuardedBlock(void* block, size_t byteCount) {
    if (block) munmap(static_cast<char*>(block) - PageSize(), GuardedMappingSize(byteCount));
}

} // namespace testsupport

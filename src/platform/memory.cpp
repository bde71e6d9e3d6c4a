#include "platform/memory.h"

#include <malloc.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace tsunagi {

void preferLargePages(const void* data, std::size_t bytes) {
    constexpr std::uintptr_t kLarge = std::uintptr_t(2) << 20;
    auto begin = (reinterpret_cast<std::uintptr_t>(data) + kLarge - 1) & ~(kLarge - 1);
    auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(kLarge - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

void preferLargePagesOnHeap(std::size_t bytes) {
    // A block that size, taken from the top of the heap and given back at once, stays there
    // (below the trim threshold) for the next allocations to be cut from: the hint on it holds
    // for them. Where the block is a mapping of its own instead, it is gone, and so is the hint.
    void* block = std::malloc(bytes);
    if (!block) return;
    preferLargePages(block, bytes);
    std::free(block);
}

void reuseFreedMemory() {
    // Arrays up to 32 MiB (the most glibc allows) come from the heap rather than a mapping of
    // their own, which is unmapped when freed; the heap's top is handed back only beyond
    // 128 MiB free.
    ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
    ::mallopt(M_TRIM_THRESHOLD, 128 << 20);
}

}  // namespace tsunagi

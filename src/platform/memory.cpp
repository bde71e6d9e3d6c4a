#include "platform/memory.h"

#include <sys/mman.h>

#include <cstdint>

namespace tsunagi {

void preferLargePages(const void* data, std::size_t bytes) {
    constexpr std::uintptr_t kLarge = std::uintptr_t(2) << 20;
    auto begin = (reinterpret_cast<std::uintptr_t>(data) + kLarge - 1) & ~(kLarge - 1);
    auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(kLarge - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

}  // namespace tsunagi

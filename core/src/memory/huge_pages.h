// Memory mapped in whole, aligned 2 MiB pieces with the advice to back it by huge pages. Writing fresh memory
// is most of what reading a large statement costs, and the kernel gives one huge page for the price of a few
// small ones.
#pragma once

#include <cstddef>

namespace quorlane::detail {

inline constexpr std::size_t kHugePageSize = std::size_t{1} << 21;

// `size` bytes (a multiple of kHugePageSize) aligned to kHugePageSize, or null when the system has none to give.
void* map_huge_backed(std::size_t size) noexcept;
// Gives back what map_huge_backed() returned, with the same size.
void unmap_huge_backed(void* memory, std::size_t size) noexcept;

}  // namespace quorlane::detail

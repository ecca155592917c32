// Memory mapped in whole, aligned 2 MiB pieces with the advice to back it by huge pages. Writing fresh memory
// is most of what reading a large statement costs, and the kernel gives one huge page for the price of a few
// small ones. Public, so that the package's extension grows its columns the same way.
#pragma once

#include <cstddef>

namespace quorlane {

inline constexpr std::size_t kHugePageSize = std::size_t{1} << 21;

// `size` rounded up to whole huge pages.
constexpr std::size_t whole_huge_pages(std::size_t size) noexcept {
  return (size + kHugePageSize - 1) & ~(kHugePageSize - 1);
}

// `size` bytes (a multiple of kHugePageSize) aligned to kHugePageSize, or null when the system has none to give.
void* map_huge_backed(std::size_t size) noexcept;
// Gives back what map_huge_backed() returned, with the same size.
void unmap_huge_backed(void* memory, std::size_t size) noexcept;

// Advises the system to back the whole huge pages inside [memory, memory + size) by huge pages. Only advice:
// where the system has none, or does not follow it, nothing changes.
void advise_huge_pages(void* memory, std::size_t size) noexcept;

}  // namespace quorlane

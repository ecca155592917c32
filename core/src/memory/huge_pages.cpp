#include "quorlane/huge_pages.h"

#include <cstdint>
#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#elif defined(_WIN32)
#include <malloc.h>
#endif

namespace quorlane {

#if defined(__linux__)

void* map_huge_backed(std::size_t size) noexcept {
  // Map one huge page more than asked, then cut the unaligned ends off: mmap itself promises only 4 KiB
  // alignment, and a huge page can only back an aligned 2 MiB range.
  // Only the pages written are taken: reserving generously costs address space, not memory.
  const std::size_t padded = size + kHugePageSize;
  void* mapped = mmap(nullptr, padded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  const auto begin = reinterpret_cast<std::uintptr_t>(mapped);
  const std::uintptr_t aligned = (begin + kHugePageSize - 1) & ~(kHugePageSize - 1);
  if (aligned > begin) munmap(mapped, aligned - begin);
  const std::uintptr_t end = begin + padded;
  if (end > aligned + size) munmap(reinterpret_cast<void*>(aligned + size), end - (aligned + size));
  advise_huge_pages(reinterpret_cast<void*>(aligned), size);
  return reinterpret_cast<void*>(aligned);
}

void unmap_huge_backed(void* memory, std::size_t size) noexcept { munmap(memory, size); }

void advise_huge_pages([[maybe_unused]] void* memory, [[maybe_unused]] std::size_t size) noexcept {
#if defined(MADV_HUGEPAGE)
  const auto begin = reinterpret_cast<std::uintptr_t>(memory);
  const std::uintptr_t first = (begin + kHugePageSize - 1) & ~(kHugePageSize - 1);
  const std::uintptr_t last = (begin + size) & ~(kHugePageSize - 1);
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
}

#elif defined(_WIN32)

// The Windows C library has no aligned_alloc; its own aligned allocation must be freed by its own call.
void* map_huge_backed(std::size_t size) noexcept { return _aligned_malloc(size, kHugePageSize); }

void unmap_huge_backed(void* memory, std::size_t) noexcept { _aligned_free(memory); }

void advise_huge_pages(void*, std::size_t) noexcept {}

#else

void* map_huge_backed(std::size_t size) noexcept { return std::aligned_alloc(kHugePageSize, size); }

void unmap_huge_backed(void* memory, std::size_t) noexcept { std::free(memory); }

void advise_huge_pages(void*, std::size_t) noexcept {}

#endif

}  // namespace quorlane

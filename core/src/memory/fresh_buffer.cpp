// Output buffers of the decoders. They are allocated without being zeroed, and a large one is offered
// huge pages: a decoded statement is written front to back once, and taking its pages 2 MB at a time
// instead of 4 KB at a time makes the first write to a large buffer several times cheaper. The price is
// an occasional stall while the kernel assembles huge pages for a process that had none yet.
#include "memory/fresh_buffer.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace quorlane::detail {

std::unique_ptr<char[]> fresh_buffer(std::size_t size) {
  std::unique_ptr<char[]> buffer(new char[size]);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kHugePage = std::uintptr_t{1} << 21;
  if (size >= 2 * kHugePage) {
    const auto begin = reinterpret_cast<std::uintptr_t>(buffer.get());
    const std::uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t last = (begin + size) & ~(kHugePage - 1);
    // Only advice: where the kernel does not follow it, nothing changes.
    if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
  }
#endif
  return buffer;
}

}  // namespace quorlane::detail

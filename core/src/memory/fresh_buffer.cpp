// Output buffers of the decoders. They are allocated without being zeroed, and a large one is offered
// huge pages: a decoded statement is written front to back once, and taking its pages 2 MB at a time
// instead of 4 KB at a time makes the first write to a large buffer several times cheaper. The price is
// an occasional stall while the kernel assembles huge pages for a process that had none yet.
#include "memory/fresh_buffer.h"

#include "quorlane/huge_pages.h"

namespace quorlane::detail {

std::unique_ptr<char[]> fresh_buffer(std::size_t size) {
  std::unique_ptr<char[]> buffer(new char[size]);
  if (size >= 2 * kHugePageSize) advise_huge_pages(buffer.get(), size);
  return buffer;
}

}  // namespace quorlane::detail

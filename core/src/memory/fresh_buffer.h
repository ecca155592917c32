// Buffers for text that is written once, front to back.
#pragma once

#include <cstddef>
#include <memory>

namespace quorlane::detail {

// An uninitialised buffer of `size` bytes (a large one is backed by huge pages where the system offers them).
std::unique_ptr<char[]> fresh_buffer(std::size_t size);

}  // namespace quorlane::detail

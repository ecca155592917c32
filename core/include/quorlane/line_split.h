// Splitting off one line and finding its first "=", in one pass over its bytes. Inline, because it runs for
// every line of a statement: the two searches of a short line cost more as separate calls than one vector
// scan for both characters, and a call per line costs more than the scan itself.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quorlane::detail {

inline constexpr std::size_t kNoEquals = std::string_view::npos;

// One line as split off: its text without the line end, and the position of its first "=" (kNoEquals when it
// has none).
struct SplitLine {
  std::string_view text;
  std::size_t split;
};

// Splits off the line at `pos` (precondition: pos < text.size()) and moves `pos` past its line feed. The line
// loses its line feed and one carriage return before it; a last line without a line feed keeps everything.
inline SplitLine split_line(std::string_view text, std::size_t& pos) noexcept {
  const char* const start = text.data() + pos;
  const char* const end = text.data() + text.size();
  const char* p = start;
  std::size_t split = kNoEquals;
  const char* lf = nullptr;
#if defined(__SSE2__)
  const __m128i newline = _mm_set1_epi8('\n');
  const __m128i equals = _mm_set1_epi8('=');
  while (end - p >= 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const unsigned lf_bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, newline)));
    if (split == kNoEquals) {
      unsigned eq_bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, equals)));
      if (lf_bits != 0) eq_bits &= (lf_bits & -lf_bits) - 1;  // only those before the line feed
      if (eq_bits != 0) split = static_cast<std::size_t>(p - start) + static_cast<unsigned>(__builtin_ctz(eq_bits));
    }
    if (lf_bits != 0) {
      lf = p + __builtin_ctz(lf_bits);
      break;
    }
    p += 16;
  }
#endif
  if (lf == nullptr) {
    lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    const char* const stop = lf != nullptr ? lf : end;
    if (split == kNoEquals) {
      const auto* eq = static_cast<const char*>(std::memchr(p, '=', static_cast<std::size_t>(stop - p)));
      if (eq != nullptr) split = static_cast<std::size_t>(eq - start);
    }
  }
  if (lf == nullptr) {
    pos = text.size();
    return {std::string_view(start, static_cast<std::size_t>(end - start)), split};
  }
  std::size_t size = static_cast<std::size_t>(lf - start);
  pos += size + 1;
  if (size != 0 && start[size - 1] == '\r') --size;  // a CR cannot hold the "=", so split stays valid
  return {std::string_view(start, size), split};
}

}  // namespace quorlane::detail

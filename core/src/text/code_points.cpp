// Text given as code points of one width (as CPython keeps a str) into UTF-8, stopping at a lone surrogate,
// which has no UTF-8 form. Cyrillic text is held two bytes a character, and goes eight characters a step.
#include <cstdint>
#include <cstring>

#include "decoders.h"
#include "pair_shuffles.h"
#include "quorlane/utf8.h"

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#include <immintrin.h>
#define QUORLANE_HAVE_SIMD_UCS2 1
#endif

namespace quorlane::detail {
namespace {

// One code point; nullptr for a surrogate (the converters below pass that on to their caller).
inline char* put_point(char* out, std::uint32_t c) noexcept { return is_surrogate(c) ? nullptr : put_utf8(out, c); }

template <class Unit>
char* put_points(const Unit* p, std::size_t n, char* out) noexcept {
  for (std::size_t i = 0; i < n && out != nullptr; ++i) out = put_point(out, p[i]);
  return out;
}

#ifdef QUORLANE_HAVE_SIMD_UCS2

// Sixteen characters below U+0800 a step, as two halves of eight: each character becomes [lead, second] in a
// 16-bit lane (the second byte is the character itself for ASCII, else its trail byte), and the pair
// shuffle drops the leads of the ASCII ones. Sixteen holding anything from U+0800 up go one by one.
__attribute__((target("avx2,popcnt"))) char* ucs2_vectorised(const std::uint16_t* p, std::size_t n,
                                                              char* out) noexcept {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i above_ascii = _mm256_set1_epi16(static_cast<short>(0xFF80));
  const __m256i above_two = _mm256_set1_epi16(static_cast<short>(0xF800));
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
    const __m256i ascii = _mm256_cmpeq_epi16(_mm256_and_si256(c, above_ascii), zero);
    // One bit a character: packing the 16-bit masks to bytes works within each 128-bit lane.
    const auto packed_bits = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_packs_epi16(ascii, zero)));
    const std::uint32_t ascii_bits = (packed_bits & 0xFF) | ((packed_bits >> 8) & 0xFF00);
    if (ascii_bits == 0xFFFF) {
      const __m128i packed = _mm_packus_epi16(_mm256_castsi256_si128(c), _mm256_extracti128_si256(c, 1));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out), packed);
      out += 16;
      continue;
    }
    if (static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi16(_mm256_and_si256(c, above_two), zero))) !=
        0xFFFFFFFFu) {
      out = put_points(p + i, 16, out);
      if (out == nullptr) return nullptr;
      continue;
    }
    const __m256i lead = _mm256_or_si256(_mm256_srli_epi16(c, 6), _mm256_set1_epi16(0xC0));
    const __m256i trail = _mm256_or_si256(_mm256_and_si256(c, _mm256_set1_epi16(0x3F)), _mm256_set1_epi16(0x80));
    const __m256i second = _mm256_blendv_epi8(trail, c, ascii);
    const __m256i pairs =
        _mm256_or_si256(_mm256_and_si256(lead, _mm256_set1_epi16(0xFF)), _mm256_slli_epi16(second, 8));
    const unsigned low = ~ascii_bits & 0xFF;
    const unsigned high = (~ascii_bits >> 8) & 0xFF;
    const __m128i low_shuffle = _mm_load_si128(reinterpret_cast<const __m128i*>(kPairShuffles.index[low]));
    const __m128i high_shuffle = _mm_load_si128(reinterpret_cast<const __m128i*>(kPairShuffles.index[high]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(_mm256_castsi256_si128(pairs), low_shuffle));
    out += 8 + _mm_popcnt_u32(low);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                     _mm_shuffle_epi8(_mm256_extracti128_si256(pairs, 1), high_shuffle));
    out += 8 + _mm_popcnt_u32(high);
  }
  return put_points(p + i, n - i, out);
}

#endif

template <class Unit>
std::size_t whole_lines(const Unit* p, std::size_t n, std::size_t least) noexcept {
  if (least == 0) least = 1;
  if (n <= least) return n;
  for (std::size_t i = least - 1; i < n; ++i) {
    if (p[i] == 0x0A) return i + 1;
  }
  return n;
}

template <class Unit>
bool any_surrogate(const Unit* p, std::size_t n) noexcept {
  for (std::size_t i = 0; i < n; ++i) {
    if (is_surrogate(p[i])) return true;
  }
  return false;
}

}  // namespace

char* ucs2_to_utf8_portable(const std::uint16_t* units, std::size_t count, char* out) noexcept {
  return put_points(units, count, out);
}

char* ucs2_to_utf8_avx2(const std::uint16_t* units, std::size_t count, char* out) noexcept {
#ifdef QUORLANE_HAVE_SIMD_UCS2
  return ucs2_vectorised(units, count, out);
#else
  return put_points(units, count, out);
#endif
}

Result<char*, StatementError> code_points_to_utf8(CodePoints points, char* out) {
  char* const end = with_units(points, [&](const auto* units, std::size_t count) {
    if constexpr (sizeof(*units) == 2) {
      return active_kernels().ucs2_to_utf8(units, count, out);
    } else {
      return put_points(units, count, out);
    }
  });
  if (end == nullptr) return Err(StatementError(NotUtf8{}));  // a lone surrogate has no UTF-8 form
  return end;
}

}  // namespace quorlane::detail

namespace quorlane {

std::size_t utf8_room(CodePoints text) noexcept {
  return text.count * detail::utf8_bytes_per_point(text.width) + detail::kDecodeSlack;
}

char* write_utf8(CodePoints text, char* out) noexcept {
  auto end = detail::code_points_to_utf8(text, out);
  return end ? end.value() : nullptr;
}

}  // namespace quorlane

namespace quorlane::detail {

std::size_t code_points_whole_lines(CodePoints points, std::size_t least) noexcept {
  return with_units(points, [&](const auto* units, std::size_t count) { return whole_lines(units, count, least); });
}

bool has_lone_surrogate(CodePoints points) noexcept {
  return with_units(points, [](const auto* units, std::size_t count) {
    return sizeof(*units) > 1 && any_surrogate(units, count);  // one byte holds no surrogate
  });
}

CodePoints code_points_slice(CodePoints points, std::size_t from, std::size_t count) noexcept {
  const auto* bytes = static_cast<const unsigned char*>(points.data);
  return CodePoints{bytes + from * points.width, count, points.width};
}

}  // namespace quorlane::detail

// Strict UTF-8 validation: a portable scalar validator and an AVX2 one chosen at run time. Both accept
// exactly the well-formed sequences (no overlong forms, no surrogates, nothing above U+10FFFF).
#include <cstdint>
#include <cstring>

#include "decoders.h"
#include "quorlane/decode.h"
#include "quorlane/utf8.h"

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#include <cpuid.h>
#include <immintrin.h>
#define QUORLANE_HAVE_AVX2_PATH 1
#endif

namespace quorlane {
namespace detail {

bool is_valid_utf8_scalar(std::string_view bytes) noexcept {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const unsigned char* const end = p + bytes.size();
  while (p < end) {
    if (end - p >= 16 && all_ascii8(p) && all_ascii8(p + 8)) {
      p += 16;
      continue;
    }
    char32_t c = 0;
    const std::size_t length = read_utf8(p, static_cast<std::size_t>(end - p), c);
    if (length == 0) return false;
    p += length;
  }
  return true;
}

#ifdef QUORLANE_HAVE_AVX2_PATH

// Asked of the processor itself: __builtin_cpu_supports reads a table that the compiler's runtime library
// fills in, and not every runtime does (Zig's, used for the portable wheels, leaves it empty).
bool cpu_has_avx2() noexcept {
  static const bool has = [] {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    if (!(ecx & bit_OSXSAVE) || !(ecx & bit_AVX)) return false;
    unsigned xcr0 = 0, xcr0_high = 0;
    __asm__("xgetbv" : "=a"(xcr0), "=d"(xcr0_high) : "c"(0));
    if ((xcr0 & 0x6) != 0x6) return false;  // the system saves the vector registers' upper halves
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
    return (ebx & bit_AVX2) != 0;
  }();
  return has;
}

namespace {

// Lookup-table validation (the method of Keiser and Lemire, "Validating UTF-8 in less than one instruction
// per byte"): the high and low nibbles of each byte and the high nibble of the byte after it each select a
// set of error classes; a pair is wrong when all three sets share a class. Sequences that need a third or
// fourth byte are checked by looking two and three bytes back.
constexpr std::uint8_t kTooShort = 1 << 0;   // lead byte followed by ASCII or another lead
constexpr std::uint8_t kTooLong = 1 << 1;    // ASCII followed by a continuation
constexpr std::uint8_t kOverlong3 = 1 << 2;  // E0 80..9F
constexpr std::uint8_t kTooLarge = 1 << 3;   // F4 90..BF, F5..FF
constexpr std::uint8_t kSurrogate = 1 << 4;  // ED A0..BF
constexpr std::uint8_t kOverlong2 = 1 << 5;  // C0, C1
constexpr std::uint8_t kTooLarge1000 = 1 << 6;  // F5..FF 80..8F
constexpr std::uint8_t kOverlong4 = 1 << 6;     // F0 80..8F
constexpr std::uint8_t kTwoConts = 1 << 7;      // two continuations: fine only inside a longer sequence
constexpr std::uint8_t kCarry = kTooShort | kTooLong | kTwoConts;

__attribute__((target("avx2"))) __m256i table16(std::uint8_t a0, std::uint8_t a1, std::uint8_t a2, std::uint8_t a3,
                                                std::uint8_t a4, std::uint8_t a5, std::uint8_t a6, std::uint8_t a7,
                                                std::uint8_t a8, std::uint8_t a9, std::uint8_t a10, std::uint8_t a11,
                                                std::uint8_t a12, std::uint8_t a13, std::uint8_t a14,
                                                std::uint8_t a15) noexcept {
  return _mm256_setr_epi8(char(a0), char(a1), char(a2), char(a3), char(a4), char(a5), char(a6), char(a7), char(a8),
                          char(a9), char(a10), char(a11), char(a12), char(a13), char(a14), char(a15), char(a0),
                          char(a1), char(a2), char(a3), char(a4), char(a5), char(a6), char(a7), char(a8), char(a9),
                          char(a10), char(a11), char(a12), char(a13), char(a14), char(a15));
}

struct Tables {
  __m256i byte1_high, byte1_low, byte2_high, nibble_mask, incomplete_max;
};

__attribute__((target("avx2"))) Tables make_tables() noexcept {
  Tables t;
  t.byte1_high = table16(kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong,  //
                         kTwoConts, kTwoConts, kTwoConts, kTwoConts,                                        //
                         kTooShort | kOverlong2, kTooShort, kTooShort | kOverlong3 | kSurrogate,            //
                         kTooShort | kTooLarge | kTooLarge1000 | kOverlong4);
  constexpr std::uint8_t kLarge = kCarry | kTooLarge | kTooLarge1000;
  t.byte1_low = table16(kCarry | kOverlong3 | kOverlong2 | kOverlong4, kCarry | kOverlong2, kCarry, kCarry,
                        kCarry | kTooLarge, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge,
                        kLarge | kSurrogate, kLarge, kLarge);
  constexpr std::uint8_t kCont = kTooLong | kOverlong2 | kTwoConts;
  t.byte2_high = table16(kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort,
                         kCont | kOverlong3 | kTooLarge1000 | kOverlong4, kCont | kOverlong3 | kTooLarge,
                         kCont | kSurrogate | kTooLarge, kCont | kSurrogate | kTooLarge,  //
                         kTooShort, kTooShort, kTooShort, kTooShort);
  t.nibble_mask = _mm256_set1_epi8(0x0F);
  // A block is incomplete when one of its last three bytes starts a sequence that does not fit.
  alignas(32) std::uint8_t max[32];
  std::memset(max, 0xFF, sizeof max);
  max[29] = 0xF0 - 1;
  max[30] = 0xE0 - 1;
  max[31] = 0xC0 - 1;
  t.incomplete_max = _mm256_load_si256(reinterpret_cast<const __m256i*>(max));
  return t;
}

template <int N>
__attribute__((target("avx2"))) __m256i previous(__m256i input, __m256i prev_input) noexcept {
  return _mm256_alignr_epi8(input, _mm256_permute2x128_si256(prev_input, input, 0x21), 16 - N);
}

__attribute__((target("avx2"))) __m256i block_errors(const Tables& t, __m256i input, __m256i prev_input) noexcept {
  const __m256i prev1 = previous<1>(input, prev_input);
  const __m256i high1 = _mm256_and_si256(_mm256_srli_epi16(prev1, 4), t.nibble_mask);
  const __m256i low1 = _mm256_and_si256(prev1, t.nibble_mask);
  const __m256i high2 = _mm256_and_si256(_mm256_srli_epi16(input, 4), t.nibble_mask);
  const __m256i special = _mm256_and_si256(
      _mm256_and_si256(_mm256_shuffle_epi8(t.byte1_high, high1), _mm256_shuffle_epi8(t.byte1_low, low1)),
      _mm256_shuffle_epi8(t.byte2_high, high2));
  const __m256i prev2 = previous<2>(input, prev_input);
  const __m256i prev3 = previous<3>(input, prev_input);
  const __m256i third = _mm256_subs_epu8(prev2, _mm256_set1_epi8(char(0xE0 - 0x80)));
  const __m256i fourth = _mm256_subs_epu8(prev3, _mm256_set1_epi8(char(0xF0 - 0x80)));
  const __m256i must23 = _mm256_and_si256(_mm256_or_si256(third, fourth), _mm256_set1_epi8(char(0x80)));
  return _mm256_xor_si256(must23, special);
}

// The state carried from one 32-byte block to the next.
struct Scan {
  __m256i error;
  __m256i prev_input;
  __m256i prev_incomplete;
};

__attribute__((target("avx2"))) inline void ascii_block(Scan& s) noexcept {
  // Only an unfinished sequence from the block before can be wrong here.
  s.error = _mm256_or_si256(s.error, s.prev_incomplete);
  s.prev_input = _mm256_setzero_si256();
  s.prev_incomplete = _mm256_setzero_si256();
}

__attribute__((target("avx2"))) inline void scan_block(const Tables& t, Scan& s, __m256i input) noexcept {
  if (_mm256_movemask_epi8(input) == 0) {
    ascii_block(s);
    return;
  }
  s.error = _mm256_or_si256(s.error, block_errors(t, input, s.prev_input));
  s.prev_incomplete = _mm256_subs_epu8(input, t.incomplete_max);
  s.prev_input = input;
}

}  // namespace

__attribute__((target("avx2"))) bool is_valid_utf8_avx2(std::string_view bytes) noexcept {
  const Tables t = make_tables();
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  Scan s{_mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256()};
  while (left >= 64) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
    if (_mm256_movemask_epi8(_mm256_or_si256(a, b)) == 0) {
      ascii_block(s);
    } else {
      scan_block(t, s, a);
      scan_block(t, s, b);
    }
    p += 64;
    left -= 64;
    // Looking at the error now and then ends a long invalid input early at almost no cost.
    if ((reinterpret_cast<std::uintptr_t>(p) & 0xFFF) < 64 && !_mm256_testz_si256(s.error, s.error)) return false;
  }
  while (left >= 32) {
    scan_block(t, s, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
    p += 32;
    left -= 32;
  }
  // The tail, padded with zero bytes: a sequence cut short by the end meets ASCII and is reported.
  alignas(32) char tail[32] = {};
  std::memcpy(tail, p, left);
  scan_block(t, s, _mm256_load_si256(reinterpret_cast<const __m256i*>(tail)));
  s.error = _mm256_or_si256(s.error, s.prev_incomplete);
  return _mm256_testz_si256(s.error, s.error) != 0;
}

#else

bool cpu_has_avx2() noexcept { return false; }
bool is_valid_utf8_avx2(std::string_view bytes) noexcept { return is_valid_utf8_scalar(bytes); }

#endif

}  // namespace detail

bool is_valid_utf8(std::string_view bytes) noexcept { return detail::active_kernels().is_valid_utf8(bytes); }

}  // namespace quorlane

// windows-1251 to UTF-8: sixteen bytes a step where the processor has AVX2, a table lookup a byte otherwise.
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "decoders.h"
#include "pair_shuffles.h"
#include "quorlane/decode.h"

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#include <immintrin.h>
#define QUORLANE_HAVE_SIMD_CP1251 1
#endif

namespace quorlane::detail {
namespace {

// The WHATWG windows-1251 index for 0x80..0xFF (unlike some platform code pages, 0x98 is U+0098).
// Each entry holds the character's UTF-8 bytes in its low three bytes and their count in the top byte.
constexpr std::uint32_t kHigh[128] = {
    0x020082D0, 0x020083D0, 0x039A80E2, 0x020093D1, 0x039E80E2, 0x03A680E2, 0x03A080E2, 0x03A180E2,  // 80
    0x03AC82E2, 0x03B080E2, 0x020089D0, 0x03B980E2, 0x02008AD0, 0x02008CD0, 0x02008BD0, 0x02008FD0,  // 88
    0x020092D1, 0x039880E2, 0x039980E2, 0x039C80E2, 0x039D80E2, 0x03A280E2, 0x039380E2, 0x039480E2,  // 90
    0x020098C2, 0x03A284E2, 0x020099D1, 0x03BA80E2, 0x02009AD1, 0x02009CD1, 0x02009BD1, 0x02009FD1,  // 98
    0x0200A0C2, 0x02008ED0, 0x02009ED1, 0x020088D0, 0x0200A4C2, 0x020090D2, 0x0200A6C2, 0x0200A7C2,  // A0
    0x020081D0, 0x0200A9C2, 0x020084D0, 0x0200ABC2, 0x0200ACC2, 0x0200ADC2, 0x0200AEC2, 0x020087D0,  // A8
    0x0200B0C2, 0x0200B1C2, 0x020086D0, 0x020096D1, 0x020091D2, 0x0200B5C2, 0x0200B6C2, 0x0200B7C2,  // B0
    0x020091D1, 0x039684E2, 0x020094D1, 0x0200BBC2, 0x020098D1, 0x020085D0, 0x020095D1, 0x020097D1,  // B8
    0x020090D0, 0x020091D0, 0x020092D0, 0x020093D0, 0x020094D0, 0x020095D0, 0x020096D0, 0x020097D0,  // C0
    0x020098D0, 0x020099D0, 0x02009AD0, 0x02009BD0, 0x02009CD0, 0x02009DD0, 0x02009ED0, 0x02009FD0,  // C8
    0x0200A0D0, 0x0200A1D0, 0x0200A2D0, 0x0200A3D0, 0x0200A4D0, 0x0200A5D0, 0x0200A6D0, 0x0200A7D0,  // D0
    0x0200A8D0, 0x0200A9D0, 0x0200AAD0, 0x0200ABD0, 0x0200ACD0, 0x0200ADD0, 0x0200AED0, 0x0200AFD0,  // D8
    0x0200B0D0, 0x0200B1D0, 0x0200B2D0, 0x0200B3D0, 0x0200B4D0, 0x0200B5D0, 0x0200B6D0, 0x0200B7D0,  // E0
    0x0200B8D0, 0x0200B9D0, 0x0200BAD0, 0x0200BBD0, 0x0200BCD0, 0x0200BDD0, 0x0200BED0, 0x0200BFD0,  // E8
    0x020080D1, 0x020081D1, 0x020082D1, 0x020083D1, 0x020084D1, 0x020085D1, 0x020086D1, 0x020087D1,  // F0
    0x020088D1, 0x020089D1, 0x02008AD1, 0x02008BD1, 0x02008CD1, 0x02008DD1, 0x02008ED1, 0x02008FD1,  // F8
};

static_assert(std::endian::native == std::endian::little, "the table entries are stored as little-endian words");

constexpr std::array<std::uint32_t, 256> make_table() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t b = 0; b < 0x80; ++b) table[b] = (1u << 24) | b;
  for (std::uint32_t b = 0x80; b < 0x100; ++b) table[b] = kHigh[b - 0x80];
  return table;
}
constexpr std::array<std::uint32_t, 256> kTable = make_table();

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

std::uint64_t load8(const unsigned char* p) noexcept {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// One windows-1251 character as the scalar decoder writes it: four bytes stored, cursor moved by its length.
inline char* put_char(char* dst, unsigned char b) noexcept {
  const std::uint32_t entry = kTable[b];
  std::memcpy(dst, &entry, 4);  // little-endian: the character's bytes come first
  return dst + (entry >> 24);
}

#ifdef QUORLANE_HAVE_SIMD_CP1251

// One half of eight bytes whose non-ASCII bytes are letters: its lead and second bytes are interleaved in
// `pairs`, and the shuffle keeps a lead byte only where the input byte was not ASCII (bit set in `high`).
__attribute__((target("avx2,popcnt"))) inline char* put_half(char* dst, __m128i pairs, unsigned high) noexcept {
  const __m128i shuffle = _mm_load_si128(reinterpret_cast<const __m128i*>(kPairShuffles.index[high]));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_shuffle_epi8(pairs, shuffle));
  return dst + 8 + _mm_popcnt_u32(high);
}

inline char* put_eight(char* dst, const unsigned char* p) noexcept {
  for (std::size_t k = 0; k < 8; ++k) dst = put_char(dst, p[k]);
  return dst;
}

// Text made of ASCII and the letters А..я (0xC0..0xFF, two UTF-8 bytes each) goes sixteen bytes at a time,
// as two halves of eight; a half holding anything from 0x80..0xBF goes through the table.
__attribute__((target("avx2,popcnt"))) char* decode_vectorised(const unsigned char* p, std::size_t n,
                                                                char* dst) noexcept {
  const __m128i letter_low = _mm_set1_epi8(static_cast<char>(0xC0));
  const __m128i letter_upper = _mm_set1_epi8(static_cast<char>(0xEF));
  const __m128i lead = _mm_set1_epi8(static_cast<char>(0xD0));
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const auto high = static_cast<unsigned>(_mm_movemask_epi8(x));
    if (high == 0) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), x);
      dst += 16;
      continue;
    }
    // Signed comparisons: 0x80..0xBF are below -64, 0xF0..0xFF above -17, ASCII is not negative.
    const auto punctuation = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi8(x, letter_low)));
    const __m128i is_letter = _mm_cmplt_epi8(x, _mm_setzero_si128());
    const __m128i is_upper_half = _mm_and_si128(is_letter, _mm_cmpgt_epi8(x, letter_upper));
    // А..п (C0..EF) are D0 90..BF, р..я (F0..FF) are D1 80..8F.
    const __m128i second = _mm_sub_epi8(_mm_sub_epi8(x, _mm_and_si128(is_letter, _mm_set1_epi8(0x30))),
                                        _mm_and_si128(is_upper_half, _mm_set1_epi8(0x40)));
    const __m128i first = _mm_sub_epi8(lead, is_upper_half);
    if ((punctuation & 0xFF) == 0) {
      dst = put_half(dst, _mm_unpacklo_epi8(first, second), high & 0xFF);
    } else {
      dst = put_eight(dst, p + i);
    }
    if ((punctuation >> 8) == 0) {
      dst = put_half(dst, _mm_unpackhi_epi8(first, second), high >> 8);
    } else {
      dst = put_eight(dst, p + i + 8);
    }
  }
  for (; i < n; ++i) dst = put_char(dst, p[i]);
  return dst;
}

#endif

char* decode_portable(const unsigned char* p, std::size_t n, char* dst) noexcept {
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const std::uint64_t word = load8(p + i);
    if ((word & kHighBits) == 0) {
      std::memcpy(dst, &word, 8);
      dst += 8;
      continue;
    }
    for (std::size_t k = i; k < i + 8; ++k) dst = put_char(dst, p[k]);
  }
  for (; i < n; ++i) dst = put_char(dst, p[i]);
  return dst;
}

}  // namespace

char* decode_cp1251_into(std::string_view input, char* out, [[maybe_unused]] bool vectors) noexcept {
  const auto* p = reinterpret_cast<const unsigned char*>(input.data());
#ifdef QUORLANE_HAVE_SIMD_CP1251
  if (vectors && cpu_has_avx2()) return decode_vectorised(p, input.size(), out);
#endif
  return decode_portable(p, input.size(), out);
}

std::string windows_1251_to_utf8(std::string_view input, bool vectors) {
  std::string out(input.size() * kCp1251MaxBytesPerChar + kDecodeSlack, '\0');
  out.resize(static_cast<std::size_t>(decode_cp1251_into(input, out.data(), vectors) - out.data()));
  return out;
}

}  // namespace quorlane::detail

namespace quorlane {

std::string to_utf8(std::string_view text, Encoding encoding) {
  return encoding == Encoding::Utf8 ? std::string(text) : detail::windows_1251_to_utf8(text);
}

}  // namespace quorlane

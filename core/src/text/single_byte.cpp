// Single-byte encodings to UTF-8: windows-1251 sixteen bytes a step where the processor has AVX2, a table lookup
// a byte otherwise; IBM866 (rare: only what declares itself DOS) by the table alone.
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "decoders.h"
#include "pair_shuffles.h"
#include "quorlane/decode.h"
#include "quorlane/utf8.h"
#include "quorlane/single_byte_codecs.h"

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#include <immintrin.h>
#define QUORLANE_HAVE_SIMD_CP1251 1
#endif

namespace quorlane::detail {
namespace {

static_assert(std::endian::native == std::endian::little, "the table entries are stored as little-endian words");

using Utf8Table = std::array<std::uint32_t, 256>;

// Each byte's character as UTF-8: its bytes in the low three bytes of an entry and their count in the top byte.
constexpr Utf8Table make_table(const SingleByteCodec& codec) {
  Utf8Table table{};
  for (unsigned b = 0; b < 256; ++b) {
    char bytes[kMaxUtf8Bytes] = {};
    const char* const end = put_utf8(bytes, codec.character(static_cast<unsigned char>(b)));
    const auto length = static_cast<std::size_t>(end - bytes);
    std::uint32_t entry = static_cast<std::uint32_t>(length) << 24;
    for (std::size_t k = 0; k < length; ++k) entry |= std::uint32_t{static_cast<unsigned char>(bytes[k])} << (8 * k);
    table[b] = entry;
  }
  return table;
}
constexpr Utf8Table kTable = make_table(kWindows1251);
static_assert(kTable[0xC0] == 0x020090D0 && kTable[0x98] == 0x020098C2 && kTable[0xB9] == 0x039684E2);
constexpr Utf8Table kIbm866Table = make_table(kIbm866);
static_assert(kIbm866Table[0x80] == 0x020090D0 && kIbm866Table[0xC4] == 0x038094E2 && kIbm866Table[0xFC] == 0x039684E2);

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

std::uint64_t load8(const unsigned char* p) noexcept {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// One character as the scalar decoder writes it: four bytes stored, cursor moved by its length.
inline char* put_char(char* dst, unsigned char b, const Utf8Table& table = kTable) noexcept {
  const std::uint32_t entry = table[b];
  std::memcpy(dst, &entry, 4);  // little-endian: the character's bytes come first
  return dst + (entry >> 24);
}

char* decode_portable(const unsigned char* p, std::size_t n, char* dst, const Utf8Table& table = kTable) noexcept;

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
  return decode_portable(p + i, n - i, dst);  // the last bytes, eight at a time where they are ASCII
}

#endif

char* decode_portable(const unsigned char* p, std::size_t n, char* dst, const Utf8Table& table) noexcept {
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const std::uint64_t word = load8(p + i);
    if ((word & kHighBits) == 0) {
      std::memcpy(dst, &word, 8);
      dst += 8;
      continue;
    }
    for (std::size_t k = i; k < i + 8; ++k) dst = put_char(dst, p[k], table);
  }
  for (; i < n; ++i) dst = put_char(dst, p[i], table);
  return dst;
}

}  // namespace

char* decode_cp1251_portable(std::string_view input, char* out) noexcept {
  return decode_portable(reinterpret_cast<const unsigned char*>(input.data()), input.size(), out);
}

char* decode_cp1251_avx2(std::string_view input, char* out) noexcept {
  const auto* p = reinterpret_cast<const unsigned char*>(input.data());
#ifdef QUORLANE_HAVE_SIMD_CP1251
  // A text shorter than one vector (a code, a number, a date) goes through the words of the portable loop.
  if (input.size() >= 16) return decode_vectorised(p, input.size(), out);
#endif
  return decode_portable(p, input.size(), out);
}

char* decode_ibm866_into(std::string_view input, char* out) noexcept {
  return decode_portable(reinterpret_cast<const unsigned char*>(input.data()), input.size(), out, kIbm866Table);
}

std::string windows_1251_to_utf8(std::string_view input) {
  std::string out(input.size() * kCp1251MaxBytesPerChar + kDecodeSlack, '\0');
  out.resize(static_cast<std::size_t>(decode_cp1251_into(input, out.data()) - out.data()));
  return out;
}

}  // namespace quorlane::detail

namespace quorlane {

std::string to_utf8(std::string_view text, Encoding encoding) {
  if (encoding == Encoding::Utf8) return std::string(text);
  std::string out(utf8_room(text.size()), '\0');
  out.resize(static_cast<std::size_t>(write_utf8(text, encoding, out.data()) - out.data()));
  return out;
}

char* write_windows_1251_as_utf8(std::string_view text, char* out) noexcept {
  static_assert(detail::kCp1251MaxBytesPerChar == 3 && detail::kDecodeSlack == 16, "utf8_room() counts on these");
  return detail::decode_cp1251_into(text, out);
}

char* write_ibm866_as_utf8(std::string_view text, char* out) noexcept { return detail::decode_ibm866_into(text, out); }

}  // namespace quorlane

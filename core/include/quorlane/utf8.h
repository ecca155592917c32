// UTF-8, written and read one character at a time: the one encoder and the one decoder every part of the
// package uses (the converters of the text source, the quoted form, the Python layer and the accelerator).
// Inline and constexpr, so that hot loops and compile-time tables use them at no cost.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace quorlane {

inline constexpr std::size_t kMaxUtf8Bytes = 4;  // the longest UTF-8 form of one character

constexpr bool is_surrogate(char32_t c) noexcept { return c >= 0xD800 && c <= 0xDFFF; }

// Writes c's UTF-8 form at `out` and returns its end. Precondition: c is a scalar value (not a surrogate, at
// most U+10FFFF); callers that may meet a surrogate check is_surrogate() first.
constexpr char* put_utf8(char* out, char32_t c) noexcept {
  if (c < 0x80) {
    *out++ = static_cast<char>(c);
  } else if (c < 0x800) {
    *out++ = static_cast<char>(0xC0 | (c >> 6));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out++ = static_cast<char>(0xE0 | (c >> 12));
    *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | (c >> 18));
    *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

constexpr bool is_utf8_continuation(unsigned char byte) noexcept { return (byte & 0xC0) == 0x80; }

// The characters of UTF-8 text: its bytes that are not continuation bytes. What a column number counts.
constexpr std::size_t utf8_characters(std::string_view text) noexcept {
  std::size_t count = 0;
  for (const char c : text) count += !is_utf8_continuation(static_cast<unsigned char>(c));
  return count;
}

// Whether the eight bytes at `p` are all ASCII: the word-wise fast path of the loops over UTF-8.
inline bool all_ascii8(const unsigned char* p) noexcept {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return (word & 0x8080808080808080ull) == 0;
}

// Decodes one character of valid UTF-8 starting at text[pos] and moves pos past it.
// Precondition: pos < text.size() and the text is valid UTF-8 (what the core holds always is).
constexpr char32_t next_code_point(std::string_view text, std::size_t& pos) noexcept {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  if (lead < 0xE0) {
    const char32_t c = (char32_t(lead & 0x1F) << 6) | (byte(pos + 1) & 0x3F);
    pos += 2;
    return c;
  }
  if (lead < 0xF0) {
    const char32_t c = (char32_t(lead & 0x0F) << 12) | (char32_t(byte(pos + 1) & 0x3F) << 6) | (byte(pos + 2) & 0x3F);
    pos += 3;
    return c;
  }
  const char32_t c = (char32_t(lead & 0x07) << 18) | (char32_t(byte(pos + 1) & 0x3F) << 12) |
                     (char32_t(byte(pos + 2) & 0x3F) << 6) | (byte(pos + 3) & 0x3F);
  pos += 4;
  return c;
}

// Decodes one character of text that may be ill-formed: the `left` bytes at `p` (left >= 1). Returns the
// length of its sequence, with the character in `c`; 0 when the bytes there are no well-formed sequence (an
// overlong form, a surrogate, past U+10FFFF, cut short, a stray continuation byte, C0, C1 or F5..FF), never
// reading past `left`.
constexpr std::size_t read_utf8(const unsigned char* p, std::size_t left, char32_t& c) noexcept {
  const unsigned char lead = p[0];
  if (lead < 0x80) {
    c = lead;
    return 1;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    if (left < 2 || !is_utf8_continuation(p[1])) return 0;
    c = (char32_t(lead) & 0x1F) << 6 | (p[1] & 0x3F);
    return 2;
  }
  if (lead >= 0xE0 && lead <= 0xEF) {
    // The second byte's range rules out overlong forms (E0) and surrogates (ED).
    const unsigned char low = lead == 0xE0 ? 0xA0 : 0x80;
    const unsigned char high = lead == 0xED ? 0x9F : 0xBF;
    if (left < 3 || p[1] < low || p[1] > high || !is_utf8_continuation(p[2])) return 0;
    c = (char32_t(lead) & 0x0F) << 12 | (char32_t(p[1]) & 0x3F) << 6 | (p[2] & 0x3F);
    return 3;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    // F0 would be overlong below 0x90; F4 goes past U+10FFFF above 0x8F.
    const unsigned char low = lead == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = lead == 0xF4 ? 0x8F : 0xBF;
    if (left < 4 || p[1] < low || p[1] > high || !is_utf8_continuation(p[2]) || !is_utf8_continuation(p[3])) {
      return 0;
    }
    c = (char32_t(lead) & 0x07) << 18 | (char32_t(p[1]) & 0x3F) << 12 | (char32_t(p[2]) & 0x3F) << 6 | (p[3] & 0x3F);
    return 4;
  }
  return 0;
}

}  // namespace quorlane

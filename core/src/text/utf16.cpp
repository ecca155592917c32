// UTF-16 (after its byte order mark) to UTF-8. Malformed input is decoded to the end all the same, with
// U+FFFD in place of each error, as the WHATWG decoder does; the caller discards such a result.
#include <cstdint>

#include "decoders.h"

namespace quorlane::detail {
namespace {

char* put_utf8(char* out, char32_t c) noexcept {
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

constexpr char32_t kReplacement = 0xFFFD;

}  // namespace

DecodedBytes decode_utf16(std::string_view input, bool big_endian) {
  const auto* p = reinterpret_cast<const unsigned char*>(input.data());
  const std::size_t units = input.size() / 2;
  DecodedBytes out;
  // A unit gives at most three bytes, a surrogate pair four; an odd last byte gives U+FFFD.
  out.bytes = fresh_buffer(units * 3 + 3);
  char* dst = out.bytes.get();
  auto unit = [&](std::size_t i) -> char32_t {
    const char32_t a = p[2 * i], b = p[2 * i + 1];
    return big_endian ? (a << 8 | b) : (b << 8 | a);
  };
  for (std::size_t i = 0; i < units; ++i) {
    const char32_t u = unit(i);
    if (u < 0xD800 || u > 0xDFFF) {
      dst = put_utf8(dst, u);
    } else if (u <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 && unit(i + 1) <= 0xDFFF) {
      dst = put_utf8(dst, 0x10000 + ((u - 0xD800) << 10) + (unit(i + 1) - 0xDC00));
      ++i;
    } else {
      // A lone surrogate; a high one followed by a non-surrogate leaves that unit to the next round.
      out.malformed = true;
      dst = put_utf8(dst, kReplacement);
    }
  }
  if (input.size() % 2 != 0) {
    out.malformed = true;
    dst = put_utf8(dst, kReplacement);
  }
  out.size = static_cast<std::size_t>(dst - out.bytes.get());
  return out;
}

}  // namespace quorlane::detail

// UTF-16 (after its byte order mark) to UTF-8. A malformed sequence makes the whole input no statement, so
// the decoding stops there: going on to the end, as the WHATWG decoder does, would change nothing.
#include <cstdint>

#include "decoders.h"
#include "quorlane/utf8.h"

namespace quorlane::detail {

Result<char*, StatementError> decode_utf16_into(std::string_view input, bool big_endian, char* out) {
  // An odd trailing byte is malformed.
  if (input.size() % 2 != 0) return Err(StatementError(NotStatement{}));
  const auto* p = reinterpret_cast<const unsigned char*>(input.data());
  const std::size_t units = input.size() / 2;
  auto unit = [&](std::size_t i) -> char32_t {
    const char32_t a = p[2 * i], b = p[2 * i + 1];
    return big_endian ? (a << 8 | b) : (b << 8 | a);
  };
  for (std::size_t i = 0; i < units; ++i) {
    const char32_t u = unit(i);
    if (!is_surrogate(u)) {
      out = put_utf8(out, u);
    } else if (u <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 && unit(i + 1) <= 0xDFFF) {
      out = put_utf8(out, 0x10000 + ((u - 0xD800) << 10) + (unit(i + 1) - 0xDC00));
      ++i;
    } else {
      return Err(StatementError(NotStatement{}));  // a lone surrogate
    }
  }
  return out;
}

}  // namespace quorlane::detail

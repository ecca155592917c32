#include "quorlane/unicode.h"

#include <algorithm>

#include "unicode_tables.h"

namespace quorlane {
namespace {

bool in_ranges(const CodePointRange* ranges, std::size_t size, char32_t c) noexcept {
  const CodePointRange* end = ranges + size;
  // The first range that ends at or after c; c is inside it when it also starts at or before c.
  const CodePointRange* it =
      std::lower_bound(ranges, end, c, [](const CodePointRange& r, char32_t value) { return r.last < value; });
  return it != end && it->first <= c;
}

}  // namespace

bool is_white_space(char32_t c) noexcept {
  if (c < 0x80) return c == 0x20 || (c >= 0x09 && c <= 0x0D);
  return in_ranges(kWhiteSpaceRanges, kWhiteSpaceRangesSize, c);
}

bool is_grapheme_extend(char32_t c) noexcept {
  if (c < 0x300) return false;  // the first Grapheme_Extend character is U+0300
  return in_ranges(kGraphemeExtendRanges, kGraphemeExtendRangesSize, c);
}

bool is_printable(char32_t c) noexcept {
  if (c < 0x80) return c >= 0x20 && c < 0x7F;
  return !in_ranges(kNotPrintableRanges, kNotPrintableRangesSize, c);
}

char32_t next_code_point(std::string_view text, std::size_t& pos) noexcept {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  if (lead < 0xE0) {
    char32_t c = (char32_t(lead & 0x1F) << 6) | (byte(pos + 1) & 0x3F);
    pos += 2;
    return c;
  }
  if (lead < 0xF0) {
    char32_t c = (char32_t(lead & 0x0F) << 12) | (char32_t(byte(pos + 1) & 0x3F) << 6) | (byte(pos + 2) & 0x3F);
    pos += 3;
    return c;
  }
  char32_t c = (char32_t(lead & 0x07) << 18) | (char32_t(byte(pos + 1) & 0x3F) << 12) |
               (char32_t(byte(pos + 2) & 0x3F) << 6) | (byte(pos + 3) & 0x3F);
  pos += 4;
  return c;
}

bool is_blank(std::string_view text) noexcept {
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (!is_white_space(next_code_point(text, pos))) return false;
  }
  return true;
}

}  // namespace quorlane

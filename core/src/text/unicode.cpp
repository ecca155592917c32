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

bool is_blank(std::string_view text) noexcept {
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (!is_white_space(next_code_point(text, pos))) return false;
  }
  return true;
}

}  // namespace quorlane

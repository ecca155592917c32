// The characters that end a line somewhere. This reader ends a line at a line feed alone (dropping one carriage
// return before it) and keeps every other character inside a value; other readers, and Python's
// str.splitlines, also end lines at CR, VT, FF, the separators U+001C..U+001E, U+0085, U+2028 and U+2029, and
// C readers end the text at NUL. A value that must be read back the same by any reader holds none of them.
#pragma once

#include <cstdint>

namespace quorlane {

// Below U+0020: NUL, LF, VT, FF, CR, FS, GS, RS.
inline constexpr std::uint32_t kLineBreakingControls = (1u << 0x00) | (1u << 0x0A) | (1u << 0x0B) | (1u << 0x0C) |
                                                       (1u << 0x0D) | (1u << 0x1C) | (1u << 0x1D) | (1u << 0x1E);

// True for LF and for every character that another reader takes for a line end or the end of the text.
constexpr bool is_line_break_anywhere(char32_t c) noexcept {
  if (c < 0x20) return (kLineBreakingControls >> c) & 1u;
  return c == 0x85 || c == 0x2028 || c == 0x2029;
}

}  // namespace quorlane

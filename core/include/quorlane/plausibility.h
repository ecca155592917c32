// The plausibility rule for text that did not arrive as UTF-8: a statement is mostly letters, digits,
// punctuation and line breaks; a binary file or a wrongly guessed encoding is not. The reader refuses
// windows-1251 input that fails it, so a writer that checks it writes nothing the reader would refuse.
#pragma once

#include <cstddef>
#include <string_view>

#include "quorlane/decode.h"

namespace quorlane {

// At least kPlausibleMinPercent per cent (after truncation) of the first kPlausibilityChars characters must
// be plausible.
inline constexpr std::size_t kPlausibilityChars = 20480;
inline constexpr std::size_t kPlausibleMinPercent = 96;

// ASCII letters, digits, punctuation and space, tab, LF, FF, CR (not VT); and anything from U+0400 on.
constexpr bool is_plausible_char(char32_t c) noexcept {
  return (c >= 0x20 && c <= 0x7E) || c == '\t' || c == '\n' || c == '\f' || c == '\r' || c >= 0x400;
}

// Whether `plausible` of the `examined` first characters pass (none examined: no).
constexpr bool is_plausible_share(std::size_t plausible, std::size_t examined) noexcept {
  return examined != 0 && plausible * 100 / examined >= kPlausibleMinPercent;
}

// The rule over UTF-8 text (precondition: valid UTF-8), or over text held as code points (a Python str).
bool is_plausible(std::string_view utf8) noexcept;
bool is_plausible(CodePoints points) noexcept;

}  // namespace quorlane

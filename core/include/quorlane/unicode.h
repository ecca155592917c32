// Unicode character properties that the format's rules rely on.
// The property tables are generated from the Unicode Character Database (see tools/gen_unicode_tables.py).
#pragma once

#include <cstddef>
#include <string_view>

#include "quorlane/utf8.h"  // next_code_point

namespace quorlane {

// The Unicode version the generated tables come from, e.g. "15.0.0".
extern const char kUnicodeVersion[];

bool is_white_space(char32_t c) noexcept;     // White_Space property
bool is_grapheme_extend(char32_t c) noexcept;  // Grapheme_Extend property
// False for the general categories Cc, Cf, Zl, Zp, Zs (except U+0020), Co, Cs and Cn.
bool is_printable(char32_t c) noexcept;

// True when the text is empty or consists only of White_Space characters. Precondition: valid UTF-8.
bool is_blank(std::string_view text) noexcept;

}  // namespace quorlane

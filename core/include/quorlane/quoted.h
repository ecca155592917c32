// The quoted text form: a text in double quotes with backslash escapes, as messages and reprs show values.
#pragma once

#include <string>
#include <string_view>

#include "quorlane/decode.h"

namespace quorlane {

// Precondition: valid UTF-8. Never fails.
std::string quoted(std::string_view text);
void append_quoted(std::string& out, std::string_view text);
// A text held as code points (a Python str); a lone surrogate shows as its escape.
std::string quoted(CodePoints text);

}  // namespace quorlane

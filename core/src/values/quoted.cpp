#include "quorlane/quoted.h"

#include "quorlane/unicode.h"

namespace quorlane {
namespace {

void append_code_point_escape(std::string& out, char32_t c) {
  static constexpr char kHex[] = "0123456789abcdef";
  char digits[8];
  int count = 0;
  do {
    digits[count++] = kHex[c & 0xF];
    c >>= 4;
  } while (c != 0);
  out += "\\u{";
  while (count > 0) out += digits[--count];
  out += '}';
}

}  // namespace

void append_quoted(std::string& out, std::string_view text) {
  out.reserve(out.size() + text.size() + 2);
  out += '"';
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t start = pos;
    const char32_t c = next_code_point(text, pos);
    switch (c) {
      case U'\0': out += "\\0"; continue;
      case U'\t': out += "\\t"; continue;
      case U'\r': out += "\\r"; continue;
      case U'\n': out += "\\n"; continue;
      case U'\\': out += "\\\\"; continue;
      case U'"': out += "\\\""; continue;
      default: break;
    }
    if (is_grapheme_extend(c) || !is_printable(c)) {
      append_code_point_escape(out, c);
    } else {
      out.append(text.substr(start, pos - start));
    }
  }
  out += '"';
}

std::string quoted(std::string_view text) {
  std::string out;
  append_quoted(out, text);
  return out;
}

}  // namespace quorlane

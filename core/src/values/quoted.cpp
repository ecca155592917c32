#include "quorlane/quoted.h"

#include "quorlane/unicode.h"
#include "quorlane/utf8.h"

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

// One character of a text in its quoted form.
void append_quoted_char(std::string& out, char32_t c) {
  switch (c) {
    case U'\0': out += "\\0"; return;
    case U'\t': out += "\\t"; return;
    case U'\r': out += "\\r"; return;
    case U'\n': out += "\\n"; return;
    case U'\\': out += "\\\\"; return;
    case U'"': out += "\\\""; return;
    default: break;
  }
  if (is_surrogate(c) || is_grapheme_extend(c) || !is_printable(c)) {
    append_code_point_escape(out, c);
  } else {
    char utf8[kMaxUtf8Bytes];
    out.append(utf8, put_utf8(utf8, c));
  }
}

}  // namespace

void append_quoted(std::string& out, std::string_view text) {
  out.reserve(out.size() + text.size() + 2);
  out += '"';
  std::size_t pos = 0;
  while (pos < text.size()) append_quoted_char(out, next_code_point(text, pos));
  out += '"';
}

std::string quoted(std::string_view text) {
  std::string out;
  append_quoted(out, text);
  return out;
}

std::string quoted(CodePoints text) {
  std::string out;
  out.reserve(text.count + 2);
  out += '"';
  with_units(text, [&](const auto* units, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) append_quoted_char(out, static_cast<char32_t>(units[i]));
  });
  out += '"';
  return out;
}

}  // namespace quorlane

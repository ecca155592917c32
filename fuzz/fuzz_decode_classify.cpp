// Decoding and line classification of arbitrary bytes: nothing may crash, and what comes out must hold
// together (valid UTF-8 text, UTF-8 used in place, lines in order and inside the text, errors that match).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "quorlane/decode.h"
#include "quorlane/lines.h"
#include "quorlane/unicode.h"

namespace {

// Names the failed invariant before stopping: traps of different checks may be merged into one.
#define check(condition)                                                              \
  do {                                                                                \
    if (!(condition)) {                                                               \
      std::fprintf(stderr, "invariant failed at %s:%d: %s\n", __FILE__, __LINE__, #condition); \
      __builtin_trap();                                                               \
    }                                                                                 \
  } while (false)

bool inside(std::string_view part, std::string_view whole) {
  if (part.empty()) return true;  // markers carry default-constructed empty views
  return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

void check_lines(std::string_view text) {
  auto lines = quorlane::classify_lines(text);
  if (!lines) {
    const auto* syntax = std::get_if<quorlane::SyntaxDetail>(&lines.error());
    check(syntax != nullptr);
    const auto* bad = std::get_if<quorlane::UnrecognizedLine>(syntax);
    check(bad != nullptr && bad->lineno >= 1);
    check(bad->line.find('=') == std::string::npos && !quorlane::is_blank(bad->line));
    return;
  }
  auto cursor = lines.value().cursor();
  quorlane::ClassifiedLine line;
  std::uint64_t last = 0;
  // The cursor's one-pass scan must agree with splitting and classifying line by line.
  std::size_t pos = 0;
  std::uint64_t lineno = 0;
  std::string_view piece;
  while (cursor.next(line)) {
    quorlane::ClassifiedLine expected;
    bool recognized = false;
    bool produced = false;
    while (!produced && quorlane::next_line(text, pos, piece)) {
      produced = quorlane::classify_line(piece, ++lineno, expected, recognized);
    }
    check(produced && recognized && expected.lineno == line.lineno && expected.is_marker == line.is_marker);
    check(expected.key == line.key && expected.value == line.value);
    check(!line.is_marker || expected.marker == line.marker);
    check(line.lineno > last);
    last = line.lineno;
    check(inside(line.value, text));
    if (line.is_marker) {
      check(line.key.empty());
      if (line.marker != quorlane::Marker::DocumentStart) check(line.value.empty());
    } else {
      check(line.key.data() >= text.data() && line.key.find('=') == std::string_view::npos);
      check(line.key.data() + line.key.size() + 1 == line.value.data() && line.value.data()[-1] == '=');
      check(inside(line.value, text) && line.value.data() + line.value.size() <= text.data() + text.size());
    }
  }
  quorlane::ClassifiedLine rest;
  bool recognized = false;
  while (quorlane::next_line(text, pos, piece)) check(!quorlane::classify_line(piece, ++lineno, rest, recognized));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const bool valid = quorlane::detail::is_valid_utf8_scalar(input);
  if (quorlane::detail::cpu_has_avx2()) check(quorlane::detail::is_valid_utf8_avx2(input) == valid);

  auto decoded = quorlane::decode_input(input);
  if (!decoded) {
    check(!valid && std::holds_alternative<quorlane::NotStatement>(decoded.error()));
    return 0;
  }
  const std::string_view text = decoded.value().text();
  check(quorlane::detail::is_valid_utf8_scalar(text));
  if (valid) {
    check(decoded.value().encoding() == quorlane::Encoding::Utf8);
    check(text.data() == input.data() && text.size() == input.size());
  } else {
    check(decoded.value().encoding() == quorlane::Encoding::Cp1251);
  }

  const std::size_t end = text.find('\n');
  std::string_view first = text.substr(0, end);
  if (end != std::string_view::npos && !first.empty() && first.back() == '\r') first.remove_suffix(1);
  const bool first_ok = !text.empty() && first == "1CClientBankExchange";
  check(quorlane::check_first_line(text).ok() == first_ok);

  // Classified whatever the first line says, to reach more of the classifier.
  check_lines(text);
  return 0;
}

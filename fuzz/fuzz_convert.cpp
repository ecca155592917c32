// Converting a statement's text, from arbitrary bytes: the reading's verdict is parse_statement's, in both
// targets; a text converted to UTF-8 with line feeds reads as the input read, and converting it back to the
// input's own encoding and line ends gives it again; what the text cannot keep names a line the text has.
//
// Input layout: byte 0 picks the piece size, and with its low bit the package's reading (a byte order mark skipped,
// a declared DOS read as cp866, which is then a target too); the rest is the statement.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "quorlane/convert.h"
#include "quorlane/parse.h"

#include "check.h"

namespace {

std::string verdict(const quorlane::Result<quorlane::ReaderResult, quorlane::StatementError>& reading) {
  return reading ? "ok" : quorlane::message(reading.error());
}

template <class T>
std::string verdict(const quorlane::Result<T, quorlane::StatementError>& conversion) {
  return conversion ? "ok" : quorlane::message(conversion.error());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const bool package = (data[0] & 1) != 0;
  const quorlane::ReadOptions options{1 + std::size_t{data[0]} * 13, package, package};
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  const auto parsed = quorlane::parse_statement(input, {}, options);
  const std::size_t lines = static_cast<std::size_t>(std::count(input.begin(), input.end(), '\n')) + 1;
  for (const quorlane::Encoding target :
       {quorlane::Encoding::Utf8, quorlane::Encoding::Cp1251, quorlane::Encoding::Cp866}) {
    if (target == quorlane::Encoding::Cp866 && !package) continue;
    for (const quorlane::Newline newline : {quorlane::Newline::Lf, quorlane::Newline::CrLf}) {
      const auto converted = quorlane::convert_statement(input, target, newline, options);
      check(verdict(converted) == verdict(parsed));
      if (!converted) continue;
      if (!converted.value()) {
        const auto& problem = converted.value().error();
        if (const auto* unencodable = std::get_if<quorlane::Unencodable>(&problem)) {
          check(target != quorlane::Encoding::Utf8 && unencodable->lineno <= lines && unencodable->column >= 1);
        } else if (const auto* cr = std::get_if<quorlane::CarriageReturnAtEnd>(&problem)) {
          check(newline == quorlane::Newline::Lf && cr->lineno <= lines);
        } else {
          check(target != quorlane::Encoding::Utf8);
        }
        continue;
      }
      const std::string& text = converted.value().value();
      const auto again = quorlane::parse_statement(text, {}, options);
      check(again.ok());
      check(again.value().documents.size() == parsed.value().documents.size());
      check(again.value().warnings == parsed.value().warnings);
      if (target == parsed.value().encoding && newline == quorlane::Newline::CrLf) {
        // Back from UTF-8 with line feeds, the text is the same again.
        const auto lf = quorlane::convert_statement(input, quorlane::Encoding::Utf8, quorlane::Newline::Lf, options);
        if (lf.ok() && lf.value().ok()) {
          const auto back = quorlane::convert_statement(lf.value().value(), target, newline, options);
          check(back.ok() && back.value().ok() && back.value().value() == text);
        }
      }
    }
  }
  return 0;
}

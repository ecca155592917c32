// A statement's own text in another encoding and with other line ends: every line as the reader sees it
// (blank ones, unknown and repeated keys, lines after the end marker included), changed in nothing else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "quorlane/decode.h"
#include "quorlane/errors.h"
#include "quorlane/result.h"
#include "quorlane/text_source.h"

namespace quorlane {

enum class Newline : unsigned char { CrLf, Lf };

// What the converted text could not keep. `column` counts characters from 1.
struct Unencodable {  // a character the target encoding lacks
  std::uint64_t lineno;
  std::size_t column;
  char32_t code_point;
};
struct CarriageReturnAtEnd {  // a line ending in a carriage return, which a line feed alone would take away
  std::uint64_t lineno;
  std::size_t column;
};

// windows-1251 text too little of whose start is letters, digits, punctuation and blanks for the reader to take
// it for a statement. (It is never taken for UTF-8: the markers' windows-1251 bytes are not UTF-8.)
struct NotReadBack {};

using Unconvertible = std::variant<Unencodable, CarriageReturnAtEnd, NotReadBack>;

// The text, or what it could not keep.
using Converted = Result<std::string, Unconvertible>;

// The text of statement bytes (decoded as parse_statement decodes them: UTF-8, or windows-1251, or UTF-16
// after its byte order mark, which is not text and is not written) in `target`, each line ended by `newline`
// but a last line that had no line end. A StatementError where the text cannot be had (parse_statement tells
// the same for such input).
Result<Converted, StatementError> convert_statement(std::string_view input, Encoding target, Newline newline,
                                                    const ReadOptions& options = {});
Result<Converted, StatementError> convert_statement(CodePoints text, Encoding target, Newline newline,
                                                    const ReadOptions& options = {});

// Appends valid UTF-8 text written in windows-1251 (by the WHATWG index) to `out`; answers the offset in `utf8`
// of the first character windows-1251 lacks (then `out` holds what came before it), or npos.
std::size_t append_cp1251(std::string_view utf8, std::string& out);

}  // namespace quorlane

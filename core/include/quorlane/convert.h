// A statement's own text in another encoding and with other line ends: every line as the reader sees it
// (blank ones, unknown and repeated keys, lines after the end marker included), changed in nothing else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
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

// Single-byte text too little of whose start is letters, digits, punctuation and blanks for the reader to take
// it for a statement. (It is never taken for UTF-8: the markers' single-byte forms are not UTF-8.)
struct NotReadBack {};
// Single-byte text that a reading with the same options takes for another encoding: cp866 whose header does not
// declare DOS (read as windows-1251), or windows-1251 that holds the cp866 form of "Кодировка=DOS".
struct ReadBackAs {
  Encoding encoding;
};

using Unconvertible = std::variant<Unencodable, CarriageReturnAtEnd, NotReadBack, ReadBackAs>;

// Where a conversion writes the text, a piece after another: into one buffer for the whole of it, or on to a
// file as it comes.
class TextOutput {
 public:
  virtual ~TextOutput() = default;
  // The text to come is in `target` and takes at most `most` bytes in all.
  virtual void start(std::size_t most, Encoding target) = 0;
  // Room for at least `size` more bytes, right after those written so far; throws std::bad_alloc.
  virtual char* room(std::size_t size) = 0;
  // The last room took `size` bytes.
  virtual void wrote(std::size_t size) = 0;
  // Whether the output takes no more text (it failed, and keeps why): the conversion stops then.
  virtual bool stopped() const noexcept { return false; }
  // The text is whole: every piece was written.
  virtual void finish() = 0;
};

// The reading's verdict first: the statement's error, exactly as parse_statement gives it; then what the text
// could not keep (nothing: the text is in the output).
using Conversion = Result<Status<Unconvertible>, StatementError>;

// A statement read once to the reader's verdict, as parse_statement reads it with the same options, then its text
// written (decoded as parse_statement decodes it: UTF-8, or windows-1251, or cp866, or UTF-16 after its byte order
// mark, which is not text and is not written, nor is a UTF-8 one the options skip) in `target` (by default the
// encoding the statement is read in), each line ended by `newline` but a last line that had no line end. The text
// must read back, with the same options, in the target encoding.
Conversion convert_statement(std::string_view input, std::optional<Encoding> target, Newline newline,
                             TextOutput& out, const ReadOptions& options = {});
Conversion convert_statement(CodePoints text, std::optional<Encoding> target, Newline newline, TextOutput& out,
                             const ReadOptions& options = {});

// The same into a string, or what it could not keep.
using Converted = Result<std::string, Unconvertible>;
Result<Converted, StatementError> convert_statement(std::string_view input, Encoding target, Newline newline,
                                                    const ReadOptions& options = {});
Result<Converted, StatementError> convert_statement(CodePoints text, Encoding target, Newline newline,
                                                    const ReadOptions& options = {});

}  // namespace quorlane

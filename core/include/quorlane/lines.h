// Lines of a decoded statement: splitting, blank lines, and classification into markers and attributes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "quorlane/errors.h"
#include "quorlane/result.h"

namespace quorlane {

// The six bare markers of the format, in their numbered order.
enum class Marker : std::uint8_t {
  FileStart = 0,      // "1CClientBankExchange"
  AccountStart = 1,   // "СекцияРасчСчет"
  AccountEnd = 2,     // "КонецРасчСчет"
  DocumentStart = 3,  // "СекцияДокумент=" followed by the document type
  DocumentEnd = 4,    // "КонецДокумента"
  FileEnd = 5,        // "КонецФайла"
};

// The marker's line text; for DocumentStart only the fixed part "СекцияДокумент=".
std::string_view marker_text(Marker marker) noexcept;

// One non-blank line. For an attribute, `key` and `value` are the parts before and after the first "=".
// For a marker, `key` is empty and sits at the start of the line; for DocumentStart, `value` is the
// document type. Views into the decoded text.
struct ClassifiedLine {
  std::uint64_t lineno = 0;
  bool is_marker = false;
  Marker marker = Marker::FileStart;  // meaningful when is_marker
  std::string_view key;
  std::string_view value;

  // The marker's text form as errors show it: for DocumentStart "СекцияДокумент=" and the type.
  std::string found() const;
};

// Splits off the next line of `text` starting at `pos` (LF ends a line and is dropped, with one CR before
// it; a last piece without LF is a line only if not empty). Returns false when no line is left.
bool next_line(std::string_view text, std::size_t& pos, std::string_view& line) noexcept;

// The size of the shortest start of `text` that holds at least `least` bytes and ends with a line feed (all
// of the text when there is none): a piece of whole lines.
std::size_t whole_lines_prefix(std::string_view text, std::size_t least) noexcept;

// Classifies one line. Returns false for a blank line (only White_Space characters, or empty).
// Precondition: the line is valid UTF-8. Sets `recognized` to false for a line of no known shape.
bool classify_line(std::string_view line, std::uint64_t lineno, ClassifiedLine& out, bool& recognized) noexcept;

// What classify_next_line found.
enum class LineKind : std::uint8_t { End, Blank, Classified, Unrecognized };

// next_line and classify_line together, in one scan of the line's bytes: splits off the line at `pos` as
// line number `lineno`, sets `raw` to it, and classifies it into `out` unless it is blank.
LineKind classify_next_line(std::string_view text, std::size_t& pos, std::uint64_t lineno, ClassifiedLine& out,
                            std::string_view& raw) noexcept;

// The classified lines of a whole text that has been checked to hold no unrecognised line. Classification
// is repeated lazily while iterating (it costs less than storing the lines), in input order.
class ClassifiedLines {
 public:
  explicit ClassifiedLines(std::string_view text) noexcept : text_(text) {}

  class Cursor {
   public:
    explicit Cursor(std::string_view text) noexcept : text_(text) {}
    // Produces the next non-blank line; false at the end.
    bool next(ClassifiedLine& line) noexcept;

   private:
    std::string_view text_;
    std::size_t pos_ = 0;
    std::uint64_t lineno_ = 0;
  };

  Cursor cursor() const noexcept { return Cursor(text_); }
  std::string_view text() const noexcept { return text_; }

 private:
  std::string_view text_;
};

// Checks every line of the text; the first line of no known shape gives Syntax with UnrecognizedLine.
Result<ClassifiedLines, StatementError> classify_lines(std::string_view text);

}  // namespace quorlane

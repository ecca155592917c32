// The lines of a statement's text: numbered, blank ones skipped, each classified as a marker or a key-value
// attribute, and the first line checked to open a statement.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "quorlane/errors.h"
#include "quorlane/line_split.h"
#include "quorlane/result.h"
#include "quorlane/text_source.h"

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
// document type. Views into a piece of the text, in the encoding the text is written in.
struct ClassifiedLine {
  std::uint64_t lineno = 0;
  bool is_marker = false;
  Marker marker = Marker::FileStart;  // meaningful when is_marker
  std::string_view key;
  std::string_view value;

};

// Walks the lines of a text source once, front to back. A line is cut after each line feed, which it loses
// together with one carriage return before it; a last piece without a line feed is a line if not empty.
class LineCursor {
 public:
  // Whether line 1 must be "1CClientBankExchange", as in a statement, or may be anything.
  enum class FirstLine : unsigned char { OpensStatement, Any };

  explicit LineCursor(TextSource& source, FirstLine first_line = FirstLine::OpensStatement) noexcept;

  // The encoding the statement is read in, and the one its lines are written in (see TextSource).
  Encoding encoding() const noexcept { return source_.encoding(); }
  Encoding text_encoding() const noexcept { return source_.text_encoding(); }
  const ReadOptions& options() const noexcept { return source_.options(); }
  std::size_t size_hint() const noexcept { return source_.size_hint(); }

  // The next non-blank line. False at the end of the text, and where the lines stop early: at a first line
  // that does not open a statement, at the first line of no known shape, or where the text could not be had.
  // finish() tells which.
  bool next(ClassifiedLine& line) {
    for (;;) {
      if (pos_ == piece_.size() && !take_piece()) return false;
      const detail::SplitLine raw = detail::split_line(piece_, pos_);
      ++lineno_;
      if (raw.split == detail::kNoEquals) {
        if (line_without_equals(raw.text, line)) return true;
        if (stopped_) return false;
        continue;  // a blank line
      }
      const std::string_view key = raw.text.substr(0, raw.split);
      line.lineno = lineno_;
      line.is_marker = is_document_key(key);
      line.marker = Marker::DocumentStart;  // meaningful for a marker only
      line.key = line.is_marker ? key.substr(0, 0) : key;
      line.value = raw.text.substr(raw.split + 1);
      return true;
    }
  }
  // Nothing before `position` (the start of a line given) will be looked at again.
  void release_before(const char* position) noexcept { source_.release_before(position); }
  // Looks through the lines not taken (a reader may stop early) and the input after them, and tells why the
  // lines ended: NotUtf8 where the text has no UTF-8 form although it was taken to have one (this wins: the
  // lines read were not the statement's), NotStatement for a first line that does not open a statement,
  // Syntax with UnrecognizedLine for the first line of no known shape; success when every line was fine.
  Status<StatementError> finish();

 private:
  // Whether `key` is "СекцияДокумент". Keys of its length mostly differ from it in their first eight bytes,
  // which are compared as one word before the whole key is.
  bool is_document_key(std::string_view key) const noexcept {
    if (key.size() != document_key_.size()) return false;
    std::uint64_t head;
    std::uint64_t expected;
    std::memcpy(&head, key.data(), sizeof head);  // both at least eight bytes long
    std::memcpy(&expected, document_key_.data(), sizeof expected);
    return head == expected && key == document_key_;
  }
  // Takes the next piece of text; false at the end or where the lines stop.
  bool take_piece();
  // A line with no "=": fills `line` with its marker and answers true; false for a blank line, and for a line
  // of no known shape, which stops the lines.
  bool line_without_equals(std::string_view text, ClassifiedLine& line);
  // Ends the lines early: no more are given, whatever is left of the piece.
  void stop(StatementError error) {
    stop_ = Err(std::move(error));
    stopped_ = true;
    piece_ = {};
    pos_ = 0;
  }

  TextSource& source_;
  FirstLine first_line_;
  std::string_view document_key_;  // "СекцияДокумент", the key of a document's opening line, as the text has it
  bool started_ = false;
  bool stopped_ = false;  // at the end, or stopped early (then stop_ holds why)
  Status<StatementError> stop_;
  std::string_view piece_;
  std::size_t pos_ = 0;
  std::uint64_t lineno_ = 0;
};

}  // namespace quorlane

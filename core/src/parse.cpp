// Choosing how a statement is read. Without hooks the lines are read as they are classified, and the rest
// of the text is checked after the reader stops, so that an unrecognised line anywhere still wins over what
// the reader found (a reading without hooks has no effect but its result). With hooks, every line is
// checked first and the text read afterwards: no hook may run for a file that has an unrecognised line.
// Bytes taken as UTF-8 by their start that are not UTF-8 further on are read again as windows-1251.
#include "quorlane/parse.h"

#include <utility>

#include "quorlane/lines.h"
#include "quorlane/statement_lines.h"

namespace quorlane {
namespace {

using Reading = Result<ReaderResult, StatementError>;

// Checks every line of `source`, to its end.
Status<StatementError> check_lines(TextSource source) {
  LineCursor lines(source);
  return lines.finish();
}

// One reading of a statement whose text `open(what is known of the bytes being UTF-8)` makes, anew on every
// call.
template <class OpenText>
Reading read_with(OpenText open, Utf8Verdict utf8, HookList hooks, DocumentSink* documents) {
  if (hooks.empty()) {
    auto source = open(utf8);
    if (!source) return Err(std::move(source).error());
    auto read = [&](LineCursor& lines) { return read_statement(lines, hooks, documents); };
    return read_lines_checking_after(source.value(), read);
  }
  auto checked = open(utf8);
  if (!checked) return Err(std::move(checked).error());
  // Bytes taken as UTF-8 and checked to their end are UTF-8: the reading need not check them again.
  const Utf8Verdict known = verdict_after(checked.value().encoding());
  if (auto verdict = check_lines(std::move(checked).value()); !verdict) return Err(std::move(verdict).error());
  auto source = open(known);
  if (!source) return Err(std::move(source).error());
  LineCursor lines(source.value());
  return read_statement(lines, hooks, documents);
}

}  // namespace

Result<ReaderResult, StatementError> parse_statement(std::string_view input, HookList hooks,
                                                     const ReadOptions& options, DocumentSink* documents) {
  const auto open = [&](Utf8Verdict utf8) { return TextSource::of_bytes(input, options, utf8); };
  return reading_utf8_or_cp1251([&](Utf8Verdict utf8) { return read_with(open, utf8, hooks, documents); },
                                options.utf8);
}

Result<ReaderResult, StatementError> parse_statement(CodePoints text, HookList hooks, const ReadOptions& options,
                                                     DocumentSink* documents) {
  using Opened = Result<TextSource, StatementError>;
  const auto open = [&](Utf8Verdict) { return Opened(TextSource::of_code_points(text, options)); };
  return read_with(open, Utf8Verdict::Unknown, hooks, documents);
}

}  // namespace quorlane

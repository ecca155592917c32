// Choosing how a statement is read. Without hooks the lines are read as they are classified, and the rest
// of the text is checked after the reader stops, so that an unrecognised line anywhere still wins over what
// the reader found (a reading without hooks has no effect but its result). With hooks, every line is
// checked first and the text read afterwards: no hook may run for a file that has an unrecognised line.
// Bytes taken as UTF-8 by their start that are not UTF-8 further on are read again as windows-1251.
#include "quorlane/parse.h"

#include <utility>

#include "quorlane/lines.h"

namespace quorlane {
namespace {

using Reading = Result<ReaderResult, StatementError>;

bool is_not_utf8(const StatementError& error) noexcept { return std::holds_alternative<NotUtf8>(error); }

// Reads the lines of `source`; the lines' own verdict wins over the reader's.
Reading read_checking_after(TextSource source, HookList hooks) {
  LineCursor lines(source);
  Reading reading = read_statement(lines, hooks);
  if (auto verdict = lines.finish(); !verdict) return Err(std::move(verdict).error());
  return reading;
}

// Checks every line of `source`, to its end.
Status<StatementError> check_lines(TextSource source) {
  LineCursor lines(source);
  return lines.finish();
}

// One reading of a statement whose text `open` makes (anew on every call).
template <class OpenText>
Reading read_with(OpenText open, HookList hooks) {
  if (hooks.empty()) {
    auto source = open();
    if (!source) return Err(std::move(source).error());
    return read_checking_after(std::move(source).value(), hooks);
  }
  auto checked = open();
  if (!checked) return Err(std::move(checked).error());
  if (auto verdict = check_lines(std::move(checked).value()); !verdict) return Err(std::move(verdict).error());
  auto source = open();
  if (!source) return Err(std::move(source).error());
  LineCursor lines(source.value());
  return read_statement(lines, hooks);
}

}  // namespace

Result<ReaderResult, StatementError> parse_statement(std::string_view input, HookList hooks,
                                                     const ReadOptions& options) {
  Reading reading = read_with([&] { return TextSource::of_bytes(input, options); }, hooks);
  if (reading || !is_not_utf8(reading.error())) return reading;
  return read_with([&] { return TextSource::of_bytes(input, options, /*may_be_utf8=*/false); }, hooks);
}

Result<ReaderResult, StatementError> parse_statement(CodePoints text, HookList hooks, const ReadOptions& options) {
  using Opened = Result<TextSource, StatementError>;
  return read_with([&] { return Opened(TextSource::of_code_points(text, options)); }, hooks);
}

}  // namespace quorlane

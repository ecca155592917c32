// What every reading of a statement's lines shares: the lines' own verdict (a first line that opens no
// statement, a line of no known shape, text with no UTF-8 form) wins over what the reading found, and bytes
// taken as UTF-8 by their start that are not UTF-8 further on are read again, whole, as windows-1251.
#pragma once

#include <utility>
#include <variant>

#include "quorlane/errors.h"
#include "quorlane/lines.h"
#include "quorlane/result.h"
#include "quorlane/text_source.h"

namespace quorlane {

// `attempt(Utf8Verdict)` reads the bytes once, taking them as UTF-8 as far as the verdict allows; a reading
// that found them not to be UTF-8 is made again with the verdict Invalid. A verdict `known` from an earlier
// reading (ReadOptions::utf8) is the one reading's.
template <class Attempt>
auto reading_utf8_or_cp1251(Attempt attempt, Utf8Verdict known = Utf8Verdict::Unknown)
    -> decltype(attempt(Utf8Verdict::Unknown)) {
  if (known != Utf8Verdict::Unknown) return attempt(known);
  auto reading = attempt(Utf8Verdict::Unknown);
  if (reading || !std::holds_alternative<NotUtf8>(reading.error())) return reading;
  return attempt(Utf8Verdict::Invalid);
}

// Reads the lines of `source` with `read(LineCursor&)`, which answers a Result<T, StatementError> and may stop
// before the last line; the lines' own verdict then wins.
template <class Read>
auto read_lines_checking_after(TextSource& source, Read& read) -> decltype(read(std::declval<LineCursor&>())) {
  LineCursor lines(source);
  auto reading = read(lines);
  if (auto verdict = lines.finish(); !verdict) return Err(std::move(verdict).error());
  return reading;
}

}  // namespace quorlane

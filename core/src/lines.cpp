// Splitting the decoded text into lines and classifying each as a marker or a key-value attribute. The
// lines are views into the text; a whole-text pass checks them once, and iteration classifies them again
// instead of storing them.
#include "quorlane/lines.h"

#include <cstring>

#include "quorlane/unicode.h"

namespace quorlane {
namespace {

constexpr std::string_view kFileStart = "1CClientBankExchange";
constexpr std::string_view kAccountStart = "СекцияРасчСчет";
constexpr std::string_view kAccountEnd = "КонецРасчСчет";
constexpr std::string_view kDocumentKey = "СекцияДокумент";
constexpr std::string_view kDocumentStart = "СекцияДокумент=";
constexpr std::string_view kDocumentEnd = "КонецДокумента";
constexpr std::string_view kFileEnd = "КонецФайла";

bool bare_marker(std::string_view line, Marker& marker) noexcept {
  // The markers differ in length or in their first bytes, so at most one comparison runs in full.
  switch (line.size()) {
    case kFileStart.size():  // also the length of kFileEnd
      if (line == kFileStart) {
        marker = Marker::FileStart;
        return true;
      }
      if (line == kFileEnd) {
        marker = Marker::FileEnd;
        return true;
      }
      return false;
    case kAccountStart.size():  // also the length of kDocumentEnd
      if (line == kAccountStart) {
        marker = Marker::AccountStart;
        return true;
      }
      if (line == kDocumentEnd) {
        marker = Marker::DocumentEnd;
        return true;
      }
      return false;
    case kAccountEnd.size():
      if (line == kAccountEnd) {
        marker = Marker::AccountEnd;
        return true;
      }
      return false;
    default:
      return false;
  }
}

static_assert(kFileStart.size() == kFileEnd.size() && kAccountStart.size() == kDocumentEnd.size() &&
              kAccountEnd.size() != kFileStart.size() && kAccountEnd.size() != kAccountStart.size());

}  // namespace

std::string_view marker_text(Marker marker) noexcept {
  switch (marker) {
    case Marker::FileStart: return kFileStart;
    case Marker::AccountStart: return kAccountStart;
    case Marker::AccountEnd: return kAccountEnd;
    case Marker::DocumentStart: return kDocumentStart;
    case Marker::DocumentEnd: return kDocumentEnd;
    case Marker::FileEnd: return kFileEnd;
  }
  return kFileStart;  // unreachable: every enumerator is handled above
}

std::string ClassifiedLine::found() const {
  std::string text(marker_text(marker));
  if (marker == Marker::DocumentStart) text += value;
  return text;
}

bool next_line(std::string_view text, std::size_t& pos, std::string_view& line) noexcept {
  if (pos >= text.size()) return false;
  const char* start = text.data() + pos;
  const std::size_t rest = text.size() - pos;
  const auto* lf = static_cast<const char*>(std::memchr(start, '\n', rest));
  if (lf == nullptr) {
    line = std::string_view(start, rest);  // a last line without LF keeps a trailing CR
    pos = text.size();
    return true;
  }
  std::size_t size = static_cast<std::size_t>(lf - start);
  pos += size + 1;
  if (size != 0 && start[size - 1] == '\r') --size;
  line = std::string_view(start, size);
  return true;
}

bool classify_line(std::string_view line, std::uint64_t lineno, ClassifiedLine& out, bool& recognized) noexcept {
  recognized = true;
  out.lineno = lineno;
  const auto* eq = static_cast<const char*>(std::memchr(line.data(), '=', line.size()));
  if (eq != nullptr) {
    const std::size_t split = static_cast<std::size_t>(eq - line.data());
    const std::string_view key = line.substr(0, split);
    out.value = line.substr(split + 1);
    if (key == kDocumentKey) {
      out.is_marker = true;
      out.marker = Marker::DocumentStart;
      out.key = {};
    } else {
      out.is_marker = false;
      out.key = key;
    }
    return true;
  }
  Marker marker;
  if (bare_marker(line, marker)) {
    out.is_marker = true;
    out.marker = marker;
    out.key = {};
    out.value = {};
    return true;
  }
  if (is_blank(line)) return false;
  recognized = false;
  return true;
}

bool ClassifiedLines::Cursor::next(ClassifiedLine& line) noexcept {
  std::string_view text;
  while (next_line(text_, pos_, text)) {
    ++lineno_;
    bool recognized;
    if (classify_line(text, lineno_, line, recognized)) return true;
  }
  return false;
}

Result<ClassifiedLines, StatementError> classify_lines(std::string_view text) {
  std::size_t pos = 0;
  std::uint64_t lineno = 0;
  std::string_view line;
  ClassifiedLine classified;
  while (next_line(text, pos, line)) {
    ++lineno;
    bool recognized;
    if (classify_line(line, lineno, classified, recognized) && !recognized) {
      return Err(StatementError(SyntaxDetail(UnrecognizedLine{lineno, std::string(line)})));
    }
  }
  return ClassifiedLines(text);
}

}  // namespace quorlane

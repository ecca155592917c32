// Splitting the decoded text into lines and classifying each as a marker or a key-value attribute. The
// lines are views into the text; a whole-text pass checks them once, and iteration classifies them again
// instead of storing them.
#include "quorlane/lines.h"

#include <cstring>

#include "quorlane/unicode.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

std::size_t whole_lines_prefix(std::string_view text, std::size_t least) noexcept {
  if (least == 0) least = 1;
  if (text.size() <= least) return text.size();
  const auto* lf = static_cast<const char*>(std::memchr(text.data() + least - 1, '\n', text.size() - (least - 1)));
  return lf != nullptr ? static_cast<std::size_t>(lf - text.data()) + 1 : text.size();
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

namespace {

constexpr std::size_t kNoEquals = std::string_view::npos;

// Classification once the first "=" of the line is known (kNoEquals when there is none).
bool classify_split(std::string_view line, std::size_t split, std::uint64_t lineno, ClassifiedLine& out,
                    bool& recognized) noexcept {
  recognized = true;
  out.lineno = lineno;
  if (split != kNoEquals) {
    const std::string_view key = line.substr(0, split);
    out.value = line.substr(split + 1);
    if (key == kDocumentKey) {
      out.is_marker = true;
      out.marker = Marker::DocumentStart;
      out.key = line.substr(0, 0);
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
    out.key = line.substr(0, 0);
    out.value = {};
    return true;
  }
  if (is_blank(line)) return false;
  recognized = false;
  return true;
}

// next_line and the first "=" of the line in one pass over its bytes: the two searches of a short line
// cost more as separate calls than one vector scan for both characters.
bool next_line_split(std::string_view text, std::size_t& pos, std::string_view& line, std::size_t& split) noexcept {
  if (pos >= text.size()) return false;
  const char* const start = text.data() + pos;
  const char* const end = text.data() + text.size();
  const char* p = start;
  split = kNoEquals;
  const char* lf = nullptr;
#if defined(__SSE2__)
  const __m128i newline = _mm_set1_epi8('\n');
  const __m128i equals = _mm_set1_epi8('=');
  while (end - p >= 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const unsigned lf_bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, newline)));
    if (split == kNoEquals) {
      unsigned eq_bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, equals)));
      if (lf_bits != 0) eq_bits &= (lf_bits & -lf_bits) - 1;  // only those before the line feed
      if (eq_bits != 0) split = static_cast<std::size_t>(p - start) + static_cast<unsigned>(__builtin_ctz(eq_bits));
    }
    if (lf_bits != 0) {
      lf = p + __builtin_ctz(lf_bits);
      break;
    }
    p += 16;
  }
#endif
  if (lf == nullptr) {
    lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    const char* const stop = lf != nullptr ? lf : end;
    if (split == kNoEquals) {
      const auto* eq = static_cast<const char*>(std::memchr(p, '=', static_cast<std::size_t>(stop - p)));
      if (eq != nullptr) split = static_cast<std::size_t>(eq - start);
    }
  }
  if (lf == nullptr) {
    line = std::string_view(start, static_cast<std::size_t>(end - start));  // a last line keeps a trailing CR
    pos = text.size();
    return true;
  }
  std::size_t size = static_cast<std::size_t>(lf - start);
  pos += size + 1;
  if (size != 0 && start[size - 1] == '\r') --size;  // a CR cannot hold the "=", so split stays valid
  line = std::string_view(start, size);
  return true;
}

}  // namespace

bool classify_line(std::string_view line, std::uint64_t lineno, ClassifiedLine& out, bool& recognized) noexcept {
  const auto* eq = static_cast<const char*>(std::memchr(line.data(), '=', line.size()));
  const std::size_t split = eq != nullptr ? static_cast<std::size_t>(eq - line.data()) : kNoEquals;
  return classify_split(line, split, lineno, out, recognized);
}

LineKind classify_next_line(std::string_view text, std::size_t& pos, std::uint64_t lineno, ClassifiedLine& out,
                            std::string_view& raw) noexcept {
  std::size_t split;
  if (!next_line_split(text, pos, raw, split)) return LineKind::End;
  bool recognized;
  if (!classify_split(raw, split, lineno, out, recognized)) return LineKind::Blank;
  return recognized ? LineKind::Classified : LineKind::Unrecognized;
}

bool ClassifiedLines::Cursor::next(ClassifiedLine& line) noexcept {
  std::string_view text;
  std::size_t split;
  while (next_line_split(text_, pos_, text, split)) {
    ++lineno_;
    bool recognized;
    if (classify_split(text, split, lineno_, line, recognized)) return true;
  }
  return false;
}

Result<ClassifiedLines, StatementError> classify_lines(std::string_view text) {
  std::size_t pos = 0;
  std::uint64_t lineno = 0;
  std::string_view line;
  std::size_t split;
  ClassifiedLine classified;
  while (next_line_split(text, pos, line, split)) {
    ++lineno;
    bool recognized;
    if (classify_split(line, split, lineno, classified, recognized) && !recognized) {
      return Err(StatementError(SyntaxDetail(UnrecognizedLine{lineno, std::string(line)})));
    }
  }
  return ClassifiedLines(text);
}

}  // namespace quorlane

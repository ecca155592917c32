// Walking the lines of a text: each is split off and classified as a marker or a key-value attribute, in the
// encoding the text is written in (UTF-8, or windows-1251 bytes as they lie). The lines are views into the
// source's pieces.
#include "quorlane/lines.h"

#include <string>
#include <utility>

#include "quorlane/line_split.h"
#include "quorlane/unicode.h"
#include "text/decoders.h"
#include "text/windows_1251_literal.h"

namespace quorlane {
namespace {

constexpr std::string_view kFileStart = "1CClientBankExchange";
constexpr std::string_view kAccountStart = "СекцияРасчСчет";
constexpr std::string_view kAccountEnd = "КонецРасчСчет";
constexpr std::string_view kDocumentKey = "СекцияДокумент";
constexpr std::string_view kDocumentStart = "СекцияДокумент=";
constexpr std::string_view kDocumentEnd = "КонецДокумента";
constexpr std::string_view kFileEnd = "КонецФайла";

constexpr auto kAccountStart1251 = detail::to_windows_1251("СекцияРасчСчет");
constexpr auto kAccountEnd1251 = detail::to_windows_1251("КонецРасчСчет");
constexpr auto kDocumentKey1251 = detail::to_windows_1251("СекцияДокумент");
constexpr auto kDocumentEnd1251 = detail::to_windows_1251("КонецДокумента");
constexpr auto kFileEnd1251 = detail::to_windows_1251("КонецФайла");

// The words a line is recognised by, as a text in one encoding writes them.
struct Words {
  std::string_view document_key;
  std::pair<std::string_view, Marker> bare[5];
};

constexpr Words kUtf8Words = {kDocumentKey,
                              {{kFileStart, Marker::FileStart},
                               {kAccountStart, Marker::AccountStart},
                               {kAccountEnd, Marker::AccountEnd},
                               {kDocumentEnd, Marker::DocumentEnd},
                               {kFileEnd, Marker::FileEnd}}};
constexpr Words kCp1251Words = {kDocumentKey1251.view(),
                                {{kFileStart, Marker::FileStart},
                                 {kAccountStart1251.view(), Marker::AccountStart},
                                 {kAccountEnd1251.view(), Marker::AccountEnd},
                                 {kDocumentEnd1251.view(), Marker::DocumentEnd},
                                 {kFileEnd1251.view(), Marker::FileEnd}}};

const Words& words_of(Encoding encoding) noexcept { return encoding == Encoding::Cp1251 ? kCp1251Words : kUtf8Words; }

// Blank: nothing but White_Space. windows-1251 has only the ASCII ones and the no-break space (0xA0).
bool is_blank_line(std::string_view line, Encoding encoding) noexcept {
  if (encoding == Encoding::Utf8) return is_blank(line);
  for (char c : line) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte != 0x20 && byte != 0xA0 && (byte < 0x09 || byte > 0x0D)) return false;
  }
  return true;
}

bool opens_statement(std::string_view text) noexcept {
  std::size_t pos = 0;
  return !text.empty() && detail::split_line(text, pos).text == kFileStart;
}

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

LineCursor::LineCursor(TextSource& source, FirstLine first_line) noexcept
    : source_(source), first_line_(first_line), document_key_(words_of(source.text_encoding()).document_key) {}

bool LineCursor::take_piece() {
  if (stopped_) return false;
  auto piece = source_.next_piece();
  if (!piece) {
    stop(std::move(piece).error());
    return false;
  }
  piece_ = piece.value();
  pos_ = 0;
  if (!started_) {
    started_ = true;
    // The first piece holds the whole first line.
    if (first_line_ == FirstLine::OpensStatement && !opens_statement(piece_)) {
      stop(StatementError(NotStatement{}));
      return false;
    }
  }
  if (piece_.empty()) {
    stopped_ = true;  // the end of the text
    return false;
  }
  return true;
}

bool LineCursor::line_without_equals(std::string_view text, ClassifiedLine& line) {
  for (const auto& [word, marker] : words_of(text_encoding()).bare) {
    if (text == word) {
      line.lineno = lineno_;
      line.is_marker = true;
      line.marker = marker;
      line.key = text.substr(0, 0);
      line.value = {};
      return true;
    }
  }
  if (is_blank_line(text, text_encoding())) return false;
  // Copied now: the piece holding it may be used again for the text after it.
  std::string copy = text_encoding() == Encoding::Cp1251 ? detail::windows_1251_to_utf8(text) : std::string(text);
  stop(StatementError(SyntaxDetail(UnrecognizedLine{lineno_, std::move(copy)})));
  return false;
}

Status<StatementError> LineCursor::finish() {
  ClassifiedLine ignored;
  while (next(ignored)) {
  }
  // A text that is not what it was taken for makes every other finding void.
  if (!stop_ && std::holds_alternative<NotUtf8>(stop_.error())) return std::move(stop_);
  if (auto rest = source_.check_rest(); !rest) return rest;
  return std::move(stop_);
}

}  // namespace quorlane

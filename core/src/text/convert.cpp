// Converting a statement's text: piece by piece, each piece first put into the target encoding, then its line
// ends made the target's. Carriage returns and line feeds are single bytes alike in UTF-8 and windows-1251,
// and never part of another character, so the line ends are the same bytes before and after the encoding.
#include "quorlane/convert.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

#include "quorlane/declared_encoding.h"
#include "quorlane/line_feeds.h"
#include "quorlane/plausibility.h"
#include "quorlane/reader.h"
#include "quorlane/statement_lines.h"
#include "quorlane/utf8.h"
#include "quorlane/single_byte_codecs.h"
#include "decoders.h"

namespace quorlane {
namespace {

std::size_t append_with(const SingleByteEncoder& encoder, std::string_view utf8, std::string& out) {
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const std::size_t n = utf8.size();
  const std::size_t start = out.size();
  out.resize(start + n);  // windows-1251 never takes more bytes than UTF-8
  char* to = out.data() + start;
  std::size_t i = 0;
  while (i < n) {
    if (p[i] < 0x80) {
      *to++ = static_cast<char>(p[i++]);
      continue;
    }
    const std::size_t at = i;
    char32_t c;
    if ((p[i] & 0xE0) == 0xC0) {  // two bytes: the common case of Cyrillic text
      c = static_cast<char32_t>(((p[i] & 0x1F) << 6) | (p[i + 1] & 0x3F));
      i += 2;
    } else {
      c = next_code_point(utf8, i);
    }
    const unsigned char byte = encoder.byte(c);
    if (byte == 0) {
      out.resize(static_cast<std::size_t>(to - out.data()));
      return at;
    }
    *to++ = static_cast<char>(byte);
  }
  out.resize(static_cast<std::size_t>(to - out.data()));
  return std::string_view::npos;
}

// The line and column (from 1) of the byte at `offset` of a piece of UTF-8 text whose first line is `lineno`.
std::pair<std::uint64_t, std::size_t> place(std::string_view piece, std::size_t offset, std::uint64_t lineno) {
  const std::string_view before = piece.substr(0, offset);
  lineno += static_cast<std::uint64_t>(count_line_feeds(before));
  const std::size_t line_start = before.rfind('\n') == std::string_view::npos ? 0 : before.rfind('\n') + 1;
  return {lineno, 1 + utf8_characters(before.substr(line_start))};
}

// The conversion of a statement's text, piece by piece, once its reading gave no error. It stops at the first
// thing the text cannot keep.
class Converter {
 public:
  Converter(std::optional<Encoding> target, Newline newline, TextOutput& out, const ReadOptions& options)
      : wanted_(target), newline_(newline), output_(out), options_(options) {}

  // The conversion of `source` starts.
  void start(const TextSource& source) {
    target_ = wanted_.value_or(source.encoding());
    written_ = source.text_encoding();
    // A windows-1251 byte of a piece takes at most three bytes of UTF-8; any other way a byte of a piece takes at
    // most one (the pieces are UTF-8 or windows-1251, whatever the input's form), and a line feed that gains a
    // carriage return two. The decoders write a little past the end. Of the whole, measured in the input: a byte
    // of a single-byte encoding (cp866 too, whose pieces are UTF-8) takes three bytes at most.
    most_ = written_ == Encoding::Cp1251 && target_ == Encoding::Utf8 ? 3 : 2;
    const bool single_byte = source.encoding() == Encoding::Cp1251 || source.encoding() == Encoding::Cp866;
    const std::size_t most = single_byte && target_ == Encoding::Utf8 ? 3 : 2;
    output_.start(most * source.size_hint() + 2 * detail::kDecodeSlack, target_);
    lineno_ = 1;
    beginning_.clear();
    problem_.reset();
  }

  // Converts every piece of `source`, which start() was given, until something stops it: a problem, or an
  // output that takes no more.
  Status<StatementError> run(TextSource& source) {
    for (;;) {
      auto piece = source.next_piece();
      if (!piece) return Err(std::move(piece).error());
      if (piece.value().empty() || problem_ || output_.stopped()) return {};
      out_ = output_.room(most_ * piece.value().size() + 2 * detail::kDecodeSlack);
      size_ = 0;
      if (auto done = add_piece(piece.value()); !done) problem_ = std::move(done).error();
      keep_beginning();
      output_.wrote(size_);
      source.release_before(piece.value().data() + piece.value().size());
    }
  }

  // The problem found, if any; else the output is told that the text is whole. An output that stopped knows
  // why itself: it is told nothing.
  Status<Unconvertible> finish() {
    if (output_.stopped()) return {};
    if (!problem_ && target_ != Encoding::Utf8) {
      if (auto readable = check_read_back(); !readable) problem_ = std::move(readable).error();
    }
    if (problem_) return Err(std::move(*problem_));
    output_.finish();
    return {};
  }

 private:
  Status<Unconvertible> add_piece(std::string_view piece) {
    if (written_ == target_) return add_lines(piece);
    std::string_view text = piece;  // UTF-8 from here on
    if (written_ == Encoding::Cp1251) {
      // Line ends are the same bytes in both encodings: where they stay, the piece is decoded in place.
      if (target_ == Encoding::Utf8 && newline_ == Newline::CrLf && every_line_ends_in_crlf(piece)) {
        size_ = static_cast<std::size_t>(detail::decode_cp1251_into(piece, out_ + size_) - out_);
        lineno_ += static_cast<std::uint64_t>(count_line_feeds(piece));
        return {};
      }
      decoded_ = to_utf8(piece, Encoding::Cp1251);
      text = decoded_;
    }
    if (target_ != Encoding::Utf8) {
      scratch_.clear();
      const SingleByteEncoder& encoder = target_ == Encoding::Cp866 ? kIbm866Encoder : kWindows1251Encoder;
      if (const std::size_t at = append_with(encoder, text, scratch_); at != std::string_view::npos) {
        const auto [lineno, column] = place(text, at, lineno_);
        std::size_t pos = at;
        return Err(Unconvertible(Unencodable{lineno, column, next_code_point(text, pos)}));
      }
      text = scratch_;
    }
    return add_lines(text);
  }

  void append(std::string_view text) noexcept {
    std::memcpy(out_ + size_, text.data(), text.size());
    size_ += text.size();
  }

  // The start of the text, which the read-back check looks at: the output may have passed it on already.
  void keep_beginning() {
    if (beginning_.size() < kBeginning) beginning_.append(out_, std::min(size_, kBeginning - beginning_.size()));
  }

  // A reading with the same options takes single-byte text for cp866 where it declares DOS (in its header, which
  // the beginning kept holds), else for windows-1251, and only where its start looks like statement text.
  Status<Unconvertible> check_read_back() const {
    if (const Encoding read_as = single_byte_reading(beginning_, options_); read_as != target_) {
      return Err(Unconvertible(ReadBackAs{read_as}));
    }
    const std::string_view start = std::string_view(beginning_).substr(0, kPlausibilityChars);
    if (!is_plausible(to_utf8(start, target_))) return Err(Unconvertible(NotReadBack{}));
    return {};
  }

  // Appends the lines of `text`, already in the target encoding, with the target's line ends.
  Status<Unconvertible> add_lines(std::string_view text) {
    if (newline_ == Newline::CrLf && every_line_ends_in_crlf(text)) {  // the common case: the text as it is
      append(text);
      lineno_ += static_cast<std::uint64_t>(count_line_feeds(text));
      return {};
    }
    const std::string_view line_end = newline_ == Newline::CrLf ? "\r\n" : "\n";
    std::size_t pos = 0;
    while (pos < text.size()) {
      const char* lf = static_cast<const char*>(std::memchr(text.data() + pos, '\n', text.size() - pos));
      if (lf == nullptr) {  // a last line without a line end keeps everything
        append(text.substr(pos));
        break;
      }
      std::size_t end = static_cast<std::size_t>(lf - text.data());
      if (end > pos && text[end - 1] == '\r') --end;  // the line end takes one carriage return with it
      const std::string_view line = text.substr(pos, end - pos);
      if (newline_ == Newline::Lf && !line.empty() && line.back() == '\r') {
        return Err(Unconvertible(CarriageReturnAtEnd{lineno_, characters(line)}));
      }
      append(line);
      append(line_end);
      pos = static_cast<std::size_t>(lf - text.data()) + 1;
      ++lineno_;
    }
    return {};
  }

  static bool every_line_ends_in_crlf(std::string_view text) noexcept {
    for (std::size_t pos = 0;;) {
      const char* lf = static_cast<const char*>(std::memchr(text.data() + pos, '\n', text.size() - pos));
      if (lf == nullptr) return true;
      const auto at = static_cast<std::size_t>(lf - text.data());
      if (at == 0 || text[at - 1] != '\r') return false;
      pos = at + 1;
    }
  }

  std::size_t characters(std::string_view text) const noexcept {
    if (target_ == Encoding::Cp1251) return text.size();
    return utf8_characters(text);
  }

  const std::optional<Encoding> wanted_;
  const Newline newline_;
  TextOutput& output_;
  const ReadOptions& options_;
  Encoding target_ = Encoding::Utf8;
  Encoding written_ = Encoding::Utf8;
  std::size_t most_ = 2;  // bytes written for a byte of the text, at most
  char* out_ = nullptr;   // the room for the piece being converted
  std::size_t size_ = 0;  // of it, written
  std::string decoded_;  // a windows-1251 piece as UTF-8, on its way into another single-byte encoding
  // The first kBeginning bytes written: what a reading looks at to choose its encoding.
  static constexpr std::size_t kBeginning = std::max(kPlausibilityChars, kHeaderBytes);
  std::string beginning_;
  std::string scratch_;
  std::uint64_t lineno_ = 1;
  std::optional<Unconvertible> problem_;
};

// A reading needs no documents to give its verdict: they are looked at and dropped.
class NoDocuments final : public DocumentSink {
 public:
  void start(const StatementSections*) override {}
  void take(const DocumentRecord&, const FieldLines&) override {}
};

// Reads `source` to the reader's verdict, without keeping anything.
Status<StatementError> check_statement(TextSource& source) {
  NoDocuments documents;
  auto read = [&](LineCursor& lines) { return read_statement(lines, {}, &documents); };
  auto reading = read_lines_checking_after(source, read);
  if (!reading) return Err(std::move(reading).error());
  return {};
}

// Converts the text of a statement that read well, from a source opened anew by `open()`.
template <class Open>
Conversion convert_read(Open open, Converter& converter) {
  TextSource source = open();
  converter.start(source);
  if (auto converted = converter.run(source); !converted) return Err(std::move(converted).error());
  return converter.finish();
}

// The text in a string, each piece through a buffer of exactly the room asked for, so that a sanitizer sees any
// write past the room the converter asked for.
class StringOutput final : public TextOutput {
 public:
  void start(std::size_t, Encoding) override { text_.clear(); }
  char* room(std::size_t size) override {
    room_ = std::make_unique<char[]>(size);
    return room_.get();
  }
  void wrote(std::size_t size) override { text_.append(room_.get(), size); }
  void finish() override {}
  std::string take() { return std::move(text_); }

 private:
  std::unique_ptr<char[]> room_;
  std::string text_;
};

}  // namespace

// The statement is read to its verdict first, and its text converted only then: a statement the reader refuses
// costs a reading, no more. Bytes found to be UTF-8 are not checked again.
Conversion convert_statement(std::string_view input, std::optional<Encoding> target, Newline newline,
                             TextOutput& out, const ReadOptions& options) {
  Utf8Verdict known = Utf8Verdict::Invalid;
  auto checked = reading_utf8_or_cp1251(
      [&](Utf8Verdict utf8) -> Status<StatementError> {
        auto source = TextSource::of_bytes(input, options, utf8);
        if (!source) return Err(std::move(source).error());
        known = verdict_after(source.value().encoding());
        return check_statement(source.value());
      },
      options.utf8);
  if (!checked) return Err(std::move(checked).error());
  Converter converter(target, newline, out, options);
  return convert_read([&] { return std::move(TextSource::of_bytes(input, options, known)).value(); }, converter);
}

Conversion convert_statement(CodePoints text, std::optional<Encoding> target, Newline newline, TextOutput& out,
                             const ReadOptions& options) {
  TextSource source = TextSource::of_code_points(text, options);
  if (auto checked = check_statement(source); !checked) return Err(std::move(checked).error());
  Converter converter(target, newline, out, options);
  return convert_read([&] { return TextSource::of_code_points(text, options); }, converter);
}

namespace {

template <class Input>
Result<Converted, StatementError> converted_text(Input input, Encoding target, Newline newline,
                                                 const ReadOptions& options) {
  StringOutput out;
  auto conversion = convert_statement(input, std::optional<Encoding>(target), newline, out, options);
  if (!conversion) return Err(std::move(conversion).error());
  if (!conversion.value()) return Converted(Err(std::move(conversion).value().error()));
  return Converted(out.take());
}

}  // namespace

Result<Converted, StatementError> convert_statement(std::string_view input, Encoding target, Newline newline,
                                                    const ReadOptions& options) {
  return converted_text(input, target, newline, options);
}

Result<Converted, StatementError> convert_statement(CodePoints text, Encoding target, Newline newline,
                                                    const ReadOptions& options) {
  return converted_text(text, target, newline, options);
}


}  // namespace quorlane

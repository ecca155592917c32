// The statement reader: one pass over the classified lines, a state machine whose transitions are the switch
// in Reader::run. Keys and values stay views of the decoded text while a section is open; only what the
// result keeps is copied (a document's texts, an account number, the header at the end).
#include "quorlane/reader.h"

#include <optional>
#include <system_error>
#include <utility>

#include "account_book.h"
#include "document_fields.h"
#include "text/line_pipeline.h"
#include "single_pass.h"

namespace quorlane {
namespace {

enum class State : std::uint8_t { Init, InHeader, InAccount, InDocument, ReadNextSection, Finished };

ReaderContext context_of(State state) noexcept {
  switch (state) {
    case State::Init: return ReaderContext::Init;
    case State::InHeader: return ReaderContext::Header;
    case State::InAccount: return ReaderContext::Account;
    case State::InDocument: return ReaderContext::Document;
    case State::ReadNextSection: return ReaderContext::ReadNextSection;
    case State::Finished: return ReaderContext::Finished;
  }
  return ReaderContext::Init;  // unreachable: every state is handled above
}

constexpr std::string_view kDocumentTypeKey = "СекцияДокумент";
constexpr std::string_view kAccountNumberKey = "РасчСчет";

// A document section of a real statement takes more than 512 bytes; reserving room for that many
// documents up front spares the copies of a growing vector, and pages never written cost no memory.
constexpr std::size_t kBytesPerDocumentGuess = 512;

StatementError syntax(SyntaxDetail detail) { return StatementError{std::move(detail)}; }

class SpanSource {
 public:
  explicit SpanSource(std::span<const ClassifiedLine> lines) noexcept : lines_(lines) {}
  bool next(ClassifiedLine& line) noexcept {
    if (index_ == lines_.size()) return false;
    line = lines_[index_++];
    return true;
  }

 private:
  std::span<const ClassifiedLine> lines_;
  std::size_t index_ = 0;
};

// Classifies while reading; stops at the first unrecognised line, which then wins over the reading's outcome.
class CheckingSource {
 public:
  explicit CheckingSource(std::string_view text) noexcept : text_(text) {}

  bool next(ClassifiedLine& line) noexcept {
    std::string_view raw;
    for (;;) {
      const LineKind kind = classify_next_line(text_, pos_, lineno_ + 1, line, raw);
      if (kind == LineKind::End) return false;
      ++lineno_;
      if (kind == LineKind::Blank) continue;
      if (kind == LineKind::Classified) return true;
      unrecognized_ = raw;
      unrecognized_lineno_ = lineno_;
      pos_ = text_.size();
      return false;
    }
  }

  // The first unrecognised line of the whole text, looking through the lines the reader did not take.
  std::optional<StatementError> unrecognized() {
    ClassifiedLine ignored;
    while (unrecognized_lineno_ == 0 && next(ignored)) {
    }
    if (unrecognized_lineno_ == 0) return std::nullopt;
    return syntax(UnrecognizedLine{unrecognized_lineno_, std::string(unrecognized_)});
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  std::uint64_t lineno_ = 0;
  std::string_view unrecognized_;
  std::uint64_t unrecognized_lineno_ = 0;  // 0: none found yet
};

// Whom the reader tells that the text before a section's opening line will not be looked at again.
struct TextRelease {
  void* owner = nullptr;
  void (*release_before)(void* owner, const char* position) noexcept = nullptr;

  static TextRelease of(DecodedInput& decoded) noexcept {
    return {&decoded, [](void* owner, const char* position) noexcept {
              static_cast<DecodedInput*>(owner)->release_before(position);
            }};
  }
  static TextRelease of(detail::LinePipeline& pipeline) noexcept {
    return {&pipeline, [](void* owner, const char* position) noexcept {
              static_cast<detail::LinePipeline*>(owner)->release_before(position);
            }};
  }
};

class Reader {
 public:
  Reader(Encoding encoding, HookList hooks, std::size_t documents_guess, TextRelease release = {})
      : hooks_(hooks), release_(release) {
    result_.encoding = encoding;
    result_.documents.reserve(documents_guess);
  }

  template <class Source>
  Result<ReaderResult, StatementError> run(Source& source) {
    ClassifiedLine line;
    while (source.next(line)) {
      if (!line.is_marker) {
        switch (state_) {
          case State::InHeader:
            result_.header.insert_view(line.key, line.value);
            continue;
          case State::InDocument:
            if (hooks_.empty()) {
              // No hook can see this section's map: gather the values by field at once.
              if (const int field = detail::document_field(line.key); field >= 0) fields_.set(field, line.value);
              continue;
            }
            [[fallthrough]];
          case State::InAccount:
            section_.insert_view(line.key, line.value);
            continue;
          default:
            return Err(syntax(UnexpectedAttribute{line.lineno, std::string(line.key), std::string(line.value)}));
        }
      }
      switch (line.marker) {
        case Marker::FileStart:
          if (state_ != State::Init) break;
          state_ = State::InHeader;
          continue;
        case Marker::AccountStart:
          if (state_ != State::InHeader && state_ != State::ReadNextSection) break;
          open_section(line);
          state_ = State::InAccount;
          continue;
        case Marker::DocumentStart:
          if (state_ != State::InHeader && state_ != State::ReadNextSection) break;
          open_section(line);
          fields_.present = 0;
          document_type_ = line.value;
          state_ = State::InDocument;
          continue;
        case Marker::AccountEnd:
          if (state_ != State::InAccount) break;
          if (auto error = close_account(line.lineno)) return Err(std::move(*error));
          state_ = State::ReadNextSection;
          continue;
        case Marker::DocumentEnd:
          if (state_ != State::InDocument) break;
          if (auto error = close_document(line.lineno)) return Err(std::move(*error));
          state_ = State::ReadNextSection;
          continue;
        case Marker::FileEnd:
          if (state_ != State::ReadNextSection) break;
          state_ = State::Finished;
          continue;
      }
      return Err(syntax(UnexpectedSection{line.lineno, line.found(), context_of(state_)}));
    }
    // A section still open here is dropped without its hooks.
    if (state_ != State::Finished) return Err(StatementError{Unfinished{}});
    result_.accounts = accounts_.take();
    return std::move(result_);
  }

 private:
  // The header is complete once the first section opens, and nothing before a section's opening line is
  // looked at again: the header gets its own copies, and the text before the line may be given back.
  void open_section(const ClassifiedLine& line) {
    if (state_ == State::InHeader) result_.header.make_owned();
    section_.clear();
    if (release_.release_before != nullptr) release_.release_before(release_.owner, line.key.data());
  }

  std::optional<StatementError> run_hooks(SectionType type, std::uint64_t lineno) {
    for (SectionHook* hook : hooks_) {
      HookOutcome outcome = hook->on_section(type, section_, result_.header);
      if (!outcome.is_continue()) return syntax(HookError{lineno, std::move(*outcome.error)});
    }
    return std::nullopt;
  }

  std::optional<StatementError> close_account(std::uint64_t lineno) {
    if (auto error = run_hooks(SectionType::Account, lineno)) return error;
    auto interval = convert_interval(section_);
    if (!interval) return syntax(AccountParseError{lineno, std::move(interval).error()});
    const std::string_view* number = section_.find(kAccountNumberKey);
    if (number == nullptr) {
      return syntax(MissingField{lineno, std::string(kAccountNumberKey), ReaderContext::Account});
    }
    accounts_.file(*number, interval.value());
    return std::nullopt;
  }

  std::optional<StatementError> close_document(std::uint64_t lineno) {
    if (hooks_.empty()) {
      fields_.set(detail::kDocumentTypeField, document_type_);
      file_document(lineno, detail::convert_document_fields(fields_, store_));
      return std::nullopt;
    }
    if (auto error = run_hooks(SectionType::Document, lineno)) return error;
    // Added after the hooks, so that the opening line's type wins over anything a hook stored under the key.
    section_.insert_view(kDocumentTypeKey, document_type_);
    file_document(lineno, convert_document(section_, store_));
    return std::nullopt;
  }

  void file_document(std::uint64_t lineno, Result<Document, std::string>&& document) {
    if (document) {
      result_.documents.push_back(std::move(document).value());
    } else {
      result_.warnings.push_back(StatementWarning{lineno, std::move(document).error()});
    }
  }

  HookList hooks_;
  TextRelease release_;  // where the text's memory may be given back as reading goes on
  State state_ = State::Init;
  ReaderResult result_;
  AttributeMap section_;  // reused for every section: clearing keeps its capacity
  detail::DocumentFields fields_;  // a document's values when there are no hooks
  std::string_view document_type_;
  detail::AccountBook accounts_;
  TextStore store_;  // documents' texts
};

}  // namespace

namespace detail {

Result<ReaderResult, StatementError> read_statement_checking(DecodedInput& decoded) {
  const std::string_view text = decoded.text();
  CheckingSource source(text);
  auto result =
      Reader(decoded.encoding(), {}, text.size() / kBytesPerDocumentGuess, TextRelease::of(decoded)).run(source);
  if (auto error = source.unrecognized()) return Err(std::move(*error));
  return result;
}

std::optional<Result<ReaderResult, StatementError>> read_statement_pipelined(DecodedInput& decoded,
                                                                             std::size_t piece_bytes) {
  // A windows-1251 byte takes about 1.6 bytes of text.
  const std::size_t rest = decoded.undecoded().size();
  const std::size_t text_guess = decoded.text().size() + (decoded.encoding() == Encoding::Utf8 ? rest : rest * 8 / 5) +
                                 decoded.undecoded_points().count * 2;
  std::optional<LinePipeline> pipeline;
  try {
    pipeline.emplace(decoded, piece_bytes);
  } catch (const std::system_error&) {
    // No thread to be had: the same reading on this one.
    if (!decoded.decode_rest()) return std::nullopt;
    return read_statement_checking(decoded);
  }
  auto result = Reader(decoded.encoding(), {}, text_guess / kBytesPerDocumentGuess, TextRelease::of(*pipeline))
                    .run(*pipeline);
  auto unrecognized = pipeline->unrecognized();
  if (pipeline->not_utf8()) return std::nullopt;
  if (unrecognized) return Err(std::move(*unrecognized));
  return result;
}

Result<ReaderResult, StatementError> read_statement_releasing(const ClassifiedLines& lines, HookList hooks,
                                                              DecodedInput& decoded) {
  Reader reader(decoded.encoding(), hooks, lines.text().size() / kBytesPerDocumentGuess, TextRelease::of(decoded));
  ClassifiedLines::Cursor cursor = lines.cursor();
  return reader.run(cursor);
}

}  // namespace detail

Result<ReaderResult, StatementError> read_statement(const ClassifiedLines& lines, Encoding encoding,
                                                    HookList hooks) {
  Reader reader(encoding, hooks, lines.text().size() / kBytesPerDocumentGuess);
  ClassifiedLines::Cursor cursor = lines.cursor();
  return reader.run(cursor);
}

Result<ReaderResult, StatementError> read_statement(std::span<const ClassifiedLine> lines, Encoding encoding,
                                                    HookList hooks) {
  Reader reader(encoding, hooks, 0);
  SpanSource source(lines);
  return reader.run(source);
}

}  // namespace quorlane

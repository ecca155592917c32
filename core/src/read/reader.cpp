// The statement reader: one pass over the lines, a state machine whose transitions are the switch in
// Reader::run. Keys and values stay views of the text's pieces while a section is open; only what the
// result keeps is copied (a document's texts, an account number, the header once the first section opens).
#include "quorlane/reader.h"

#include <utility>

#include <optional>

#include "account_book.h"
#include "gathered_fields.h"
#include "section_collector.h"
#include "text/decoders.h"

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

// A document section of a real statement takes more than 512 bytes; reserving room for that many
// documents up front spares the copies of a growing vector, and pages never written cost no memory.
constexpr std::size_t kBytesPerDocumentGuess = 512;

StatementError syntax(SyntaxDetail detail) { return StatementError{std::move(detail)}; }

class Reader {
 public:
  Reader(LineCursor& lines, HookList hooks, DocumentSink* sink, StatementSections* sections)
      : lines_(lines), hooks_(hooks), sink_(sink), text_encoding_(lines.text_encoding()) {
    if (sections != nullptr) collector_.emplace(*sections, lines);
    result_.encoding = lines.encoding();
    if (sink_ == nullptr) {
      result_.documents.reserve(lines.size_hint() / kBytesPerDocumentGuess);
    } else {
      sink_->start(sections);
    }
  }

  Result<ReaderResult, StatementError> run() {
    ClassifiedLine line;
    while (lines_.next(line)) {
      if (collector_) collector_->see(line);
      if (!line.is_marker) {
        switch (state_) {
          case State::InHeader:
            insert(result_.header, line.key, line.value);
            continue;
          case State::InDocument:
            if (hooks_.empty()) {
              // No hook can see this section's map: gather the values by field at once.
              const int field = detail::document_field(line.key, text_encoding_);
              if (field >= 0) {
                fields_.set(field, line.value);
                fields_.lines[static_cast<std::size_t>(field)] = line.lineno;
              }
              continue;
            }
            insert(section_, line.key, line.value);
            continue;
          case State::InAccount:
            if (sink_ != nullptr) {
              const int field = detail::interval_field(line.key, text_encoding_);
              if (field >= 0) interval_lines_[static_cast<std::size_t>(field)] = line.lineno;
            }
            insert(section_, line.key, line.value);
            continue;
          default:
            return Err(syntax(UnexpectedAttribute{line.lineno, utf8(line.key), utf8(line.value)}));
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
          interval_lines_ = {};
          state_ = State::InAccount;
          continue;
        case Marker::DocumentStart:
          if (state_ != State::InHeader && state_ != State::ReadNextSection) break;
          open_section(line);
          fields_.present = 0;
          fields_.lines = {};
          document_type_ = line.value;
          document_line_ = line.lineno;
          state_ = State::InDocument;
          continue;
        case Marker::AccountEnd:
          if (state_ != State::InAccount) break;
          if (auto closed = close_account(line.lineno); !closed) return Err(std::move(closed).error());
          state_ = State::ReadNextSection;
          continue;
        case Marker::DocumentEnd:
          if (state_ != State::InDocument) break;
          if (auto closed = close_document(line.lineno); !closed) return Err(std::move(closed).error());
          state_ = State::ReadNextSection;
          continue;
        case Marker::FileEnd:
          if (state_ != State::ReadNextSection) break;
          state_ = State::Finished;
          continue;
      }
      return Err(syntax(UnexpectedSection{line.lineno, found(line), context_of(state_)}));
    }
    // A section still open here is dropped without its hooks.
    if (state_ != State::Finished) return Err(StatementError{Unfinished{}});
    result_.accounts = accounts_.take();
    return std::move(result_);
  }

 private:
  // A text of the lines, as UTF-8.
  std::string utf8(std::string_view text) const {
    return text_encoding_ == Encoding::Utf8 ? std::string(text) : detail::windows_1251_to_utf8(text);
  }

  // A pair of a line put into a map, which holds UTF-8: UTF-8 lines are viewed until the map is made owned
  // (the header) or done with (a section); windows-1251 ones are copied as UTF-8.
  void insert(AttributeMap& map, std::string_view key, std::string_view value) {
    if (text_encoding_ == Encoding::Utf8) {
      map.insert_view(key, value);
      return;
    }
    // Both decoded into one buffer kept for the whole reading, which the map then copies from.
    scratch_.resize((key.size() + value.size()) * detail::kCp1251MaxBytesPerChar + 2 * detail::kDecodeSlack);
    char* const start = scratch_.data();
    char* const key_end = detail::decode_cp1251_into(key, start);
    char* const value_end = detail::decode_cp1251_into(value, key_end + detail::kDecodeSlack);
    map.insert_copy({start, static_cast<std::size_t>(key_end - start)},
                    {key_end + detail::kDecodeSlack, static_cast<std::size_t>(value_end - key_end - detail::kDecodeSlack)});
  }

  // The marker's text form as errors show it: for a document's opening line "СекцияДокумент=" and the type.
  std::string found(const ClassifiedLine& line) const {
    std::string text(marker_text(line.marker));
    if (line.marker == Marker::DocumentStart) text += utf8(line.value);
    return text;
  }

  // The header is complete once the first section opens, and nothing before a section's opening line is
  // looked at again: the header gets its own copies, and the text before the line may be used again.
  void open_section(const ClassifiedLine& line) {
    if (state_ == State::InHeader) result_.header.make_owned();
    section_.clear();
    if (!collector_) lines_.release_before(line.key.data());
  }

  Status<StatementError> run_hooks(SectionKind type, std::uint64_t lineno) {
    for (SectionHook* hook : hooks_) {
      HookOutcome outcome = hook->on_section(type, section_, result_.header);
      if (!outcome) return Err(syntax(HookError{lineno, std::move(outcome).error()}));
    }
    return {};
  }

  Status<StatementError> close_account(std::uint64_t lineno) {
    if (auto hooked = run_hooks(SectionKind::Account, lineno); !hooked) return hooked;
    auto interval = convert_interval(section_, lineno);
    if (!interval) return Err(syntax(AccountParseError{lineno, std::move(interval).error()}));
    const std::string_view* number = section_.find(kAccountNumberKey);
    if (number == nullptr) {
      return Err(syntax(MissingField{lineno, std::string(kAccountNumberKey), ReaderContext::Account}));
    }
    accounts_.file(*number, interval.value());
    if (sink_ != nullptr && hooks_.empty()) sink_->take_interval_lines(lineno, interval_lines_);
    return {};
  }

  Status<StatementError> close_document(std::uint64_t lineno) {
    if (hooks_.empty()) {
      fields_.set(document_field_index::doc_type, document_type_);
      fields_.lines[document_field_index::doc_type] = document_line_;
      if (sink_ != nullptr) {
        hand_document(lineno, detail::view_document_fields(fields_, text_encoding_, lineno), fields_.lines);
      } else {
        file_document(lineno, detail::convert_document_fields(fields_, text_encoding_, lineno, store_));
      }
      return {};
    }
    if (auto hooked = run_hooks(SectionKind::Document, lineno); !hooked) return hooked;
    // Added after the hooks, so that the opening line's type wins over anything a hook stored under the key.
    if (text_encoding_ == Encoding::Utf8) {
      section_.insert_view(kDocumentTypeKey, document_type_);
    } else {
      section_.insert_copy(kDocumentTypeKey, utf8(document_type_));
    }
    if (sink_ != nullptr) {
      hand_document(lineno, view_document(section_, lineno), FieldLines{});
    } else {
      file_document(lineno, convert_document(section_, lineno, store_));
    }
    return {};
  }

  void hand_document(std::uint64_t lineno, Result<DocumentRecord, FieldFailure>&& record, const FieldLines& lines) {
    if (record) {
      sink_->take(record.value(), lines);
      if (collector_) collector_->handed();
    } else {
      warn(lineno, std::move(record).error());
    }
  }

  void file_document(std::uint64_t lineno, Result<Document, FieldFailure>&& document) {
    if (document) {
      result_.documents.push_back(std::move(document).value());
    } else {
      warn(lineno, std::move(document).error());
    }
  }

  void warn(std::uint64_t lineno, FieldFailure&& failure) {
    result_.warnings.push_back(
        StatementWarning{lineno, std::move(failure.message), std::string(failure.key), std::move(failure.value)});
  }

  LineCursor& lines_;
  HookList hooks_;
  DocumentSink* const sink_;  // null: the documents are kept in the result
  const Encoding text_encoding_;  // of the lines' keys and values
  std::string scratch_;  // a windows-1251 line's key and value as UTF-8, on their way into a map
  State state_ = State::Init;
  ReaderResult result_;
  AttributeMap section_;  // reused for every section: clearing keeps its capacity
  detail::DocumentFields fields_;  // a document's values when there are no hooks
  std::string_view document_type_;
  std::uint64_t document_line_ = 0;  // of the document's opening line, which gives its type
  IntervalLines interval_lines_{};  // of an account section's values, for a sink
  detail::AccountBook accounts_;
  TextStore store_;  // documents' texts
  std::optional<detail::SectionCollector> collector_;  // the sections as written, when they are asked for
};

}  // namespace

Result<ReaderResult, StatementError> read_statement(LineCursor& lines, HookList hooks, DocumentSink* documents,
                                                    StatementSections* sections) {
  return Reader(lines, hooks, documents, hooks.empty() ? sections : nullptr).run();
}

}  // namespace quorlane

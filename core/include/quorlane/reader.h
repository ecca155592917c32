// The statement reader: walks the lines once as a state machine, collects the header, opens and closes
// sections, runs the hooks at each close, converts and files the records, and checks the end.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "quorlane/attribute_map.h"
#include "quorlane/decode.h"
#include "quorlane/errors.h"
#include "quorlane/lines.h"
#include "quorlane/records.h"
#include "quorlane/result.h"

namespace quorlane {

// The one vocabulary of a statement's sections: what hooks are told (Document and Account keep the numbers a
// hook sees, SectionType.Document being 0), what the sections as written are, and how the package names them.
enum class SectionKind : std::uint8_t { Document = 0, Account = 1, Header = 2 };

// "document", "account" or "header".
constexpr std::string_view section_kind_name(SectionKind kind) noexcept {
  switch (kind) {
    case SectionKind::Document: return "document";
    case SectionKind::Account: return "account";
    case SectionKind::Header: return "header";
  }
  return "";
}

// One of the caller's hooks, called at the close of every section before its conversion. It may change,
// add and remove entries of `attrs`; it must not change `header`.
class SectionHook {
 public:
  virtual ~SectionHook() = default;
  virtual HookOutcome on_section(SectionKind type, AttributeMap& attrs, const AttributeMap& header) = 0;
};

using HookList = std::span<SectionHook* const>;

struct StatementSections;

// The line of each field's value in a section (0 where it has none, or where hooks made the values), by index
// of the record's field table.
using FieldLines = std::array<std::uint64_t, kDocumentFieldCount>;
using IntervalLines = std::array<std::uint64_t, interval_field::count>;

// Where a reading hands its documents instead of keeping them in ReaderResult::documents: each document section
// that converts, in file order, as a record whose texts are views of the statement's text (or of the section's
// attributes, after hooks), valid only during the call, so that a caller that keeps the values in another form
// copies each text once. The sections that do not convert are warnings as ever.
class DocumentSink {
 public:
  virtual ~DocumentSink() = default;
  // A reading starts: what an earlier one gave (bytes taken as UTF-8 that turned out not to be) is forgotten.
  // `sections`, when the reading collects them, grows as it reads: a document's section is complete in it, its
  // last, when the document is handed over (and forgotten after, where it keeps only what was not handed over).
  virtual void start(const StatementSections* sections) = 0;
  virtual void take(const DocumentRecord& record, const FieldLines& lines) = 0;
  // The lines of the values of the account section closed at `lineno`, once it converted (without hooks).
  virtual void take_interval_lines(std::uint64_t /*lineno*/, const IntervalLines& /*lines*/) {}
};

// What a successful reading returns. It owns everything: nothing refers into the input text.
struct ReaderResult {
  Encoding encoding = Encoding::Utf8;
  AttributeMap header;
  std::vector<Account> accounts;  // in order of first appearance of each number; numbers are unique
  std::vector<Document> documents;
  std::vector<StatementWarning> warnings;
};

// Reads a statement from its lines, to their end or to the first error. The lines' own verdict (an
// unrecognised line, a wrong first line) is not looked at: see LineCursor::finish(). With `documents`, the
// documents go there and ReaderResult::documents stays empty. With `sections` (and no hooks), the sections as
// written are collected there from the same lines, whose pieces are then never given back; those its `kept`
// asks for stay there.
Result<ReaderResult, StatementError> read_statement(LineCursor& lines, HookList hooks,
                                                    DocumentSink* documents = nullptr,
                                                    StatementSections* sections = nullptr);

}  // namespace quorlane

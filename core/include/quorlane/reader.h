// The statement reader: walks the lines once as a state machine, collects the header, opens and closes
// sections, runs the hooks at each close, converts and files the records, and checks the end.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "quorlane/attribute_map.h"
#include "quorlane/decode.h"
#include "quorlane/errors.h"
#include "quorlane/lines.h"
#include "quorlane/records.h"
#include "quorlane/result.h"

namespace quorlane {

enum class SectionType : std::uint8_t { Document = 0, Account = 1 };

// One of the caller's hooks, called at the close of every section before its conversion. It may change,
// add and remove entries of `attrs`; it must not change `header`.
class SectionHook {
 public:
  virtual ~SectionHook() = default;
  virtual HookOutcome on_section(SectionType type, AttributeMap& attrs, const AttributeMap& header) = 0;
};

using HookList = std::span<SectionHook* const>;

// What a successful reading returns. It owns everything: nothing refers into the input text.
struct ReaderResult {
  Encoding encoding = Encoding::Utf8;
  AttributeMap header;
  std::vector<Account> accounts;  // in order of first appearance of each number; numbers are unique
  std::vector<Document> documents;
  std::vector<StatementWarning> warnings;
};

// Reads a statement from its lines, to their end or to the first error. The lines' own verdict (an
// unrecognised line, a wrong first line) is not looked at: see LineCursor::finish().
Result<ReaderResult, StatementError> read_statement(LineCursor& lines, HookList hooks);

}  // namespace quorlane

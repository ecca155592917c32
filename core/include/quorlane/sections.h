// Every section of a statement as it is written: the header, then the account and document sections in file
// order, each with its attributes in file order, repeated keys kept, values as written. This is what the
// reader's records leave out (keys outside their fields, earlier values of a repeated key).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "quorlane/decode.h"
#include "quorlane/errors.h"
#include "quorlane/reader.h"
#include "quorlane/result.h"
#include "quorlane/text_source.h"

namespace quorlane {


// One "key=value" line of a section: its key, and the value right after the key's "=".
struct AttributeSpan {
  const char* key = nullptr;
  std::size_t key_size = 0;
  std::size_t value_size = 0;
  std::uint64_t lineno = 0;

  std::string_view key_text() const noexcept { return {key, key_size}; }
  std::string_view value_text() const noexcept { return {key + key_size + 1, value_size}; }
};

struct SectionSpan {
  SectionKind kind = SectionKind::Header;
  // The opening line ("1CClientBankExchange", "СекцияРасчСчет", "СекцияДокумент=...") and the closing line
  // ("КонецРасчСчет", "КонецДокумента"; for the header its last attribute line, or its opening line).
  std::uint64_t start_line = 0;
  std::uint64_t end_line = 0;
  // Its attributes: attributes[first_attribute, first_attribute + attribute_count).
  std::size_t first_attribute = 0;
  std::size_t attribute_count = 0;
  std::string_view type;  // a document's type; empty for the other kinds
};

// Which sections a reading keeps to its end. A reading that hands its documents to a sink can forget each
// document's section once the sink took the document (the section was complete then): what it keeps is then
// bounded by what it cannot hand over (the header, the accounts, the documents that became warnings), not by the
// statement's size.
enum class KeptSections : unsigned char { Every, NotHanded };

// The texts are views into the statement's text, where it lies (bytes read in place: the input must outlive
// the sections) or in the pieces that `text` keeps.
struct StatementSections {
  Encoding encoding = Encoding::Utf8;       // as the statement is read
  Encoding text_encoding = Encoding::Utf8;  // how the texts are written: UTF-8, or windows-1251 as the input has it
  KeptSections kept = KeptSections::Every;  // which sections are here (the reading was asked for these)
  std::vector<SectionSpan> sections;
  std::vector<AttributeSpan> attributes;
  std::unique_ptr<TextSource> text;
};

// A statement read once for both: what parse_statement gives (without hooks) and its sections as written.
struct SectionsReading {
  ReaderResult statement;
  StatementSections sections;
};

// Statement bytes read as parse_statement reads them, the sections collected from the same lines; its error
// where parse_statement gives one. With `documents`, the documents go there (see DocumentSink), each handed over
// when its section is complete in `sections` (its last one), and `kept` may let the reading forget it then. The
// input must outlive the result.
Result<SectionsReading, StatementError> read_sections(std::string_view input, const ReadOptions& options = {},
                                                      DocumentSink* documents = nullptr,
                                                      KeptSections kept = KeptSections::Every);
Result<SectionsReading, StatementError> read_sections(CodePoints text, const ReadOptions& options = {},
                                                      DocumentSink* documents = nullptr,
                                                      KeptSections kept = KeptSections::Every);

}  // namespace quorlane

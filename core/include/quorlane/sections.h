// Every section of a statement as it is written: the header, then the account and document sections in file
// order, each with its attributes in file order, repeated keys kept, values as written. This is what the
// reader's records leave out (keys outside their fields, earlier values of a repeated key). Meant for a
// statement that parse_statement accepts: its structure is not checked again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "quorlane/decode.h"
#include "quorlane/errors.h"
#include "quorlane/result.h"
#include "quorlane/text_source.h"

namespace quorlane {

enum class SectionKind : unsigned char { Header, Account, Document };

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

// The texts are views into the statement's text, where it lies (bytes read in place: the input must outlive
// the sections) or in the pieces that `text` keeps.
struct StatementSections {
  Encoding encoding = Encoding::Utf8;       // as the statement is read
  Encoding text_encoding = Encoding::Utf8;  // how the texts are written: UTF-8, or windows-1251 as the input has it
  std::vector<SectionSpan> sections;
  std::vector<AttributeSpan> attributes;
  std::unique_ptr<TextSource> text;
};

// The sections of statement bytes, read with the same decoding and line rules as parse_statement, or its
// errors where the text or its lines fail. The input must outlive the result.
Result<StatementSections, StatementError> read_sections(std::string_view input, const ReadOptions& options = {});
Result<StatementSections, StatementError> read_sections(CodePoints text, const ReadOptions& options = {});

}  // namespace quorlane

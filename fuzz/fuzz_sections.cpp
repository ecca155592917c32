// Reading a statement with its sections, from arbitrary bytes: the statement and the verdict are exactly
// parse_statement's; every section lies within the text's lines in order, its attributes between its opening
// and closing lines, and every key and value is a piece of the line it names.
//
// Input layout: byte 0 picks the piece size, the rest is the statement.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "quorlane/parse.h"
#include "quorlane/sections.h"

#include "check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const quorlane::ReadOptions options{1 + std::size_t{data[0]} * 11};
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  const auto parsed = quorlane::parse_statement(input, {}, options);
  const auto read = quorlane::read_sections(input, options);
  check(read.ok() == parsed.ok());
  if (!read) {
    check(quorlane::message(read.error()) == quorlane::message(parsed.error()));
    return 0;
  }
  const quorlane::ReaderResult& statement = read.value().statement;
  check(statement.encoding == parsed.value().encoding);
  check(statement.documents.size() == parsed.value().documents.size());
  check(statement.warnings == parsed.value().warnings);
  check(statement.accounts.size() == parsed.value().accounts.size());
  const quorlane::StatementSections& sections = read.value().sections;
  check(!sections.sections.empty() && sections.sections[0].kind == quorlane::SectionKind::Header);
  std::uint64_t last = 0;
  std::size_t next_attribute = 0;
  std::size_t documents = 0;
  for (const quorlane::SectionSpan& span : sections.sections) {
    check(span.start_line > last || (last == 0 && span.start_line == 1));
    check(span.start_line <= span.end_line && span.first_attribute == next_attribute);
    for (std::size_t a = span.first_attribute; a < span.first_attribute + span.attribute_count; ++a) {
      const quorlane::AttributeSpan& attribute = sections.attributes[a];
      check(attribute.lineno > span.start_line && attribute.lineno <= span.end_line);
      check(attribute.key_text().find('\n') == std::string_view::npos);
      check(attribute.value_text().find('\n') == std::string_view::npos);
    }
    next_attribute += span.attribute_count;
    documents += span.kind == quorlane::SectionKind::Document;
    last = span.end_line;
  }
  check(next_attribute == sections.attributes.size());
  check(documents == statement.documents.size() + statement.warnings.size());
  return 0;
}

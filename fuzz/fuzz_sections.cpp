// Reading a statement with its sections, from arbitrary bytes: the statement and the verdict are exactly
// parse_statement's; every section lies within the text's lines in order, its attributes between its opening
// and closing lines, and every key and value is a piece of the line it names. Read again with the verdict found
// and a sink, keeping only the sections not handed over: each document comes with its section complete, last,
// the documents (kept, their texts copied) are the statement's, and what is kept is the rest.
//
// Input layout: byte 0 picks the piece size, the rest is the statement.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "quorlane/parse.h"
#include "quorlane/sections.h"

#include "check.h"

namespace {

class CheckingSink final : public quorlane::DocumentSink {
 public:
  void start(const quorlane::StatementSections* sections) override {
    sections_ = sections;
    kept.clear();
  }
  void take(const quorlane::DocumentRecord& record, const quorlane::FieldLines&) override {
    const quorlane::SectionSpan& last = sections_->sections.back();
    check(last.kind == quorlane::SectionKind::Document && last.end_line == record.lineno);
    kept.push_back(quorlane::keep_document(record, store_));
  }

  std::vector<quorlane::Document> kept;

 private:
  const quorlane::StatementSections* sections_ = nullptr;
  quorlane::TextStore store_;
};

}  // namespace

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

  quorlane::ReadOptions known = options;
  known.utf8 = quorlane::verdict_after(statement.encoding);
  CheckingSink sink;
  const auto again = quorlane::read_sections(input, known, &sink, quorlane::KeptSections::NotHanded);
  check(again.ok() && again.value().statement.warnings == statement.warnings);
  check(sink.kept.size() == statement.documents.size());
  for (std::size_t d = 0; d < sink.kept.size(); ++d) {
    check(sink.kept[d]->lineno == statement.documents[d]->lineno);
    check(sink.kept[d]->doc_number == statement.documents[d]->doc_number);
    check(sink.kept[d]->purpose == statement.documents[d]->purpose);
  }
  check(again.value().sections.sections.size() == sections.sections.size() - statement.documents.size());
  return 0;
}

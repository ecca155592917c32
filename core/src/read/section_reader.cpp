// A reading that also keeps the sections as written: the reader's own pass over the lines, with a collector
// beside it, over a text source that the result keeps.
#include <memory>
#include <utility>

#include "quorlane/sections.h"
#include "quorlane/statement_lines.h"

namespace quorlane {
namespace {

Result<SectionsReading, StatementError> read_both(TextSource source, DocumentSink* documents, KeptSections kept) {
  SectionsReading out;
  out.sections.kept = documents != nullptr ? kept : KeptSections::Every;  // only a sink is handed documents
  out.sections.text = std::make_unique<TextSource>(std::move(source));
  auto read = [&](LineCursor& lines) { return read_statement(lines, {}, documents, &out.sections); };
  auto reading = read_lines_checking_after(*out.sections.text, read);
  if (!reading) return Err(std::move(reading).error());
  out.statement = std::move(reading).value();
  return out;
}

}  // namespace

Result<SectionsReading, StatementError> read_sections(std::string_view input, const ReadOptions& options,
                                                      DocumentSink* documents, KeptSections kept) {
  return reading_utf8_or_cp1251(
      [&](Utf8Verdict utf8) -> Result<SectionsReading, StatementError> {
        auto source = TextSource::of_bytes(input, options, utf8);
        if (!source) return Err(std::move(source).error());
        return read_both(std::move(source).value(), documents, kept);
      },
      options.utf8);
}

Result<SectionsReading, StatementError> read_sections(CodePoints text, const ReadOptions& options,
                                                      DocumentSink* documents, KeptSections kept) {
  return read_both(TextSource::of_code_points(text, options), documents, kept);
}

}  // namespace quorlane

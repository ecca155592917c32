// Collecting the sections as written. The lines have the shape of a statement already (the reader accepted
// them), so a marker only opens or closes a section, and an attribute belongs to the section open at its line.
// Nothing is copied: the sections keep the text's pieces, which are never given back while they are read.
#include <utility>

#include "quorlane/lines.h"
#include "quorlane/sections.h"
#include "quorlane/statement_lines.h"

namespace quorlane {
namespace {

class SectionCollector {
 public:
  explicit SectionCollector(StatementSections& out) : out_(out) {}

  Result<std::monostate, StatementError> operator()(LineCursor& lines) {
    out_.encoding = lines.encoding();
    out_.text_encoding = lines.text_encoding();
    out_.attributes.reserve(lines.size_hint() / 48);  // about one attribute line in that many bytes
    ClassifiedLine line;
    bool open = false;  // a section (the header included) takes the attributes that follow
    while (lines.next(line)) {
      if (!line.is_marker) {
        if (open) add_attribute(line);
        continue;
      }
      switch (line.marker) {
        case Marker::FileStart:
          open = start(SectionKind::Header, line);
          break;
        case Marker::AccountStart:
          open = start(SectionKind::Account, line);
          break;
        case Marker::DocumentStart:
          open = start(SectionKind::Document, line);
          out_.sections.back().type = line.value;
          break;
        case Marker::AccountEnd:
        case Marker::DocumentEnd:
          if (open) out_.sections.back().end_line = line.lineno;
          open = false;
          break;
        case Marker::FileEnd:
          open = false;
          break;
      }
    }
    return {};
  }

 private:
  bool start(SectionKind kind, const ClassifiedLine& line) {
    SectionSpan& section = out_.sections.emplace_back();
    section.kind = kind;
    section.start_line = section.end_line = line.lineno;
    section.first_attribute = out_.attributes.size();
    return true;
  }

  void add_attribute(const ClassifiedLine& line) {
    SectionSpan& section = out_.sections.back();
    out_.attributes.push_back({line.key.data(), line.key.size(), line.value.size(), line.lineno});
    ++section.attribute_count;
    if (section.kind == SectionKind::Header) section.end_line = line.lineno;
  }

  StatementSections& out_;
};

Result<StatementSections, StatementError> collect(TextSource source) {
  StatementSections out;
  out.text = std::make_unique<TextSource>(std::move(source));
  SectionCollector collector(out);
  if (auto read = read_lines_checking_after(*out.text, collector); !read) return Err(std::move(read).error());
  return out;
}

}  // namespace

Result<StatementSections, StatementError> read_sections(std::string_view input, const ReadOptions& options) {
  return reading_utf8_or_cp1251([&](Utf8Verdict utf8) -> Result<StatementSections, StatementError> {
    auto source = TextSource::of_bytes(input, options, utf8);
    if (!source) return Err(std::move(source).error());
    return collect(std::move(source).value());
  });
}

Result<StatementSections, StatementError> read_sections(CodePoints text, const ReadOptions& options) {
  return collect(TextSource::of_code_points(text, options));
}

}  // namespace quorlane

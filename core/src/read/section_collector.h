// Collecting the sections as written from the lines a reading takes. The lines have the shape of a statement
// (the reader checks them as they come), so a marker only opens or closes a section, and an attribute belongs to
// the section open at its line. Nothing is copied: the sections keep views of the text's pieces, which the
// reading then never gives back.
#pragma once

#include "quorlane/lines.h"
#include "quorlane/sections.h"

namespace quorlane::detail {

class SectionCollector {
 public:
  SectionCollector(StatementSections& out, const LineCursor& lines) : out_(out) {
    out_.encoding = lines.encoding();
    out_.text_encoding = lines.text_encoding();
    out_.sections.clear();
    out_.attributes.clear();
    // A real statement writes an attribute line in about 25 bytes: reserving for more costs address space only,
    // where growing the vector would copy it.
    if (out_.kept == KeptSections::Every) out_.attributes.reserve(lines.size_hint() / 16);
  }

  // The document section closed last was handed to the sink: forgotten, where only the sections not handed
  // over are kept. It is the last one, its attributes the last ones.
  void handed() {
    if (out_.kept != KeptSections::NotHanded) return;
    out_.attributes.resize(out_.sections.back().first_attribute);
    out_.sections.pop_back();
  }

  void see(const ClassifiedLine& line) {
    if (!line.is_marker) {
      if (open_) add_attribute(line);
      return;
    }
    switch (line.marker) {
      case Marker::FileStart:
        open_ = start(SectionKind::Header, line);
        break;
      case Marker::AccountStart:
        open_ = start(SectionKind::Account, line);
        break;
      case Marker::DocumentStart:
        open_ = start(SectionKind::Document, line);
        out_.sections.back().type = line.value;
        break;
      case Marker::AccountEnd:
      case Marker::DocumentEnd:
        if (open_) out_.sections.back().end_line = line.lineno;
        open_ = false;
        break;
      case Marker::FileEnd:
        open_ = false;
        break;
    }
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
  bool open_ = false;  // a section (the header included) takes the attributes that follow
};

}  // namespace quorlane::detail

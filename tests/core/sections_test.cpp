// The sections as written and the converted text: the same whatever the input's form and the size of the
// pieces it is read in, their texts alive as long as the result (views into pieces that are never given back).
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "quorlane/convert.h"
#include "quorlane/sections.h"
#include "test_support.h"

namespace quorlane::testing {
namespace {

const std::string kStatement =
    "1CClientBankExchange\r\nВерсияФормата=1.03\r\nРасчСчет=1\r\nРасчСчет=2\r\n\r\n"
    "СекцияРасчСчет\r\nДатаНачала=01.01.2024\r\nРасчСчет=1\r\nНачальныйОстаток=0\r\nКонецРасчСчет\r\n"
    "СекцияДокумент=Платежное поручение\r\nНомер=1\r\nКлюч=\r\n=без ключа\r\nНомер=2 № a=b\r\nКонецДокумента\r\n"
    "КонецФайла\r\n\r\n";

// Every section and attribute as one text, from the result alone (its views must still be alive), but the
// document sections closed at the lines `left_out`.
std::string written_out(const StatementSections& sections, const std::set<std::uint64_t>& left_out = {}) {
  std::string out;
  for (const SectionSpan& section : sections.sections) {
    if (section.kind == SectionKind::Document && left_out.count(section.end_line)) continue;
    out += std::string(section_kind_name(section.kind)) + " " + std::to_string(section.start_line) + "-" +
           std::to_string(section.end_line) + " " + to_utf8(section.type, sections.text_encoding) + "\n";
    for (std::size_t i = 0; i < section.attribute_count; ++i) {
      const AttributeSpan& a = sections.attributes[section.first_attribute + i];
      out += std::to_string(a.lineno) + ":" + to_utf8(a.key_text(), sections.text_encoding) + "=" +
             to_utf8(a.value_text(), sections.text_encoding) + "\n";
    }
  }
  return out;
}

const std::string kExpected =
    "header 1-4 \n2:ВерсияФормата=1.03\n3:РасчСчет=1\n4:РасчСчет=2\n"
    "account 6-10 \n7:ДатаНачала=01.01.2024\n8:РасчСчет=1\n9:НачальныйОстаток=0\n"
    "document 11-16 Платежное поручение\n12:Номер=1\n13:Ключ=\n14:=без ключа\n15:Номер=2 № a=b\n";

TEST(Sections, AreTheLinesAsWrittenInEveryFormAndPieceSize) {
  for (const std::size_t piece : {std::size_t{1}, std::size_t{5}, std::size_t{64}, std::size_t{1} << 16}) {
    const ReadOptions options{piece};
    SCOPED_TRACE(piece);
    for (const std::string& bytes : {kStatement, to_cp1251(kStatement)}) {
      auto read = read_sections(bytes, options);
      ASSERT_TRUE(read);
      EXPECT_EQ(written_out(read.value().sections), kExpected);
      EXPECT_EQ(describe(Reading(std::move(read).value().statement)), describe(parse_statement(bytes, {}, options)));
    }
    for (const unsigned width : {2u, 4u}) {
      const Points points = points_of(kStatement, width);
      auto read = read_sections(points.view(), options);
      ASSERT_TRUE(read);
      EXPECT_EQ(written_out(read.value().sections), kExpected);
    }
  }
}

// As the package reads: after a byte order mark, and cp866 where the header declares DOS; the statement as
// parse_statement reads it with the same options, and its texts in UTF-8.
TEST(Sections, ReadAfterAByteOrderMarkAndInADeclaredCp866) {
  const std::string dos = replaced(kStatement, "РасчСчет=2\r\n\r\n", "РасчСчет=2\r\nКодировка=DOS\r\n");
  const std::string dos_expected =
      replaced(replaced(kExpected, "header 1-4 \n", "header 1-5 \n"), "4:РасчСчет=2\n", "4:РасчСчет=2\n5:Кодировка=DOS\n");
  const struct {
    std::string bytes;
    std::string expected;
    Encoding encoding;
  } cases[] = {
      {"\xEF\xBB\xBF" + kStatement, kExpected, Encoding::Utf8},
      {to_cp866(dos), dos_expected, Encoding::Cp866},
  };
  for (const std::size_t piece : {std::size_t{1}, std::size_t{64}, std::size_t{1} << 16}) {
    const ReadOptions options{piece, true, true};
    for (const auto& c : cases) {
      auto read = read_sections(c.bytes, options);
      ASSERT_TRUE(read);
      EXPECT_EQ(read.value().sections.encoding, c.encoding);
      EXPECT_EQ(read.value().sections.text_encoding, Encoding::Utf8);
      EXPECT_EQ(written_out(read.value().sections), c.expected);
      EXPECT_EQ(describe(Reading(std::move(read).value().statement)), describe(parse_statement(c.bytes, {}, options)));
    }
    Points marked = points_of("\uFEFF" + kStatement, 2);
    auto read = read_sections(marked.view(), options);
    ASSERT_TRUE(read);
    EXPECT_EQ(written_out(read.value().sections), kExpected);
  }
}

// Hands on the line of each document, and what its section is when it is handed over.
class LastSectionSink final : public DocumentSink {
 public:
  void start(const StatementSections* sections) override {
    sections_ = sections;
    seen.clear();
    lines.clear();
  }
  void take(const DocumentRecord& record, const FieldLines&) override {
    const SectionSpan& last = sections_->sections.back();
    seen += std::to_string(record.lineno) + ": " + std::string(section_kind_name(last.kind)) + " " +
            std::to_string(last.start_line) + "-" + std::to_string(last.end_line) + ", " +
            std::to_string(last.attribute_count) + " attributes\n";
    lines.insert(record.lineno);
  }

  std::string seen;
  std::set<std::uint64_t> lines;

 private:
  const StatementSections* sections_ = nullptr;
};

// A reading that hands its documents to a sink and keeps only the sections it did not hand over: the sink finds
// each document's section complete, last, as when every section is kept; the header's, the accounts' and those of
// the documents that became warnings are kept to the end, and nothing else.
TEST(Sections, ThoseNotHandedOverAreKeptToTheEnd) {
  const std::string converts =
      "СекцияДокумент=Платежное поручение\r\nНомер=5\r\nДата=05.03.2024\r\nСумма=1.50\r\nНазначениеПлатежа=x\r\n"
      "ПлательщикИНН=1\r\nПлательщикБИК=2\r\nПлательщикБанк1=Б\r\nПлательщикСчет=3\r\nПолучательИНН=4\r\n"
      "ПолучательБИК=5\r\nПолучательБанк1=Б\r\nПолучательСчет=6\r\nКлюч=7\r\nКонецДокумента\r\n";
  const std::string account = kStatement.substr(kStatement.find("СекцияРасчСчет"),
                                                kStatement.find("СекцияДокумент") - kStatement.find("СекцияРасчСчет"));
  const std::string end = kStatement.substr(kStatement.find("КонецФайла"));
  std::string text = kStatement.substr(0, kStatement.find("КонецФайла"));  // a document that becomes a warning
  text += converts + converts + account + converts + end;
  for (const std::string& bytes : {text, to_cp1251(text)}) {
    LastSectionSink every_sink;
    auto every = read_sections(bytes, ReadOptions{64}, &every_sink);
    LastSectionSink sink;
    auto kept = read_sections(bytes, ReadOptions{64}, &sink, KeptSections::NotHanded);
    ASSERT_TRUE(every && kept);
    EXPECT_EQ(sink.seen, every_sink.seen);
    EXPECT_EQ(sink.lines.size(), 3u);
    EXPECT_EQ(written_out(kept.value().sections), written_out(every.value().sections, sink.lines));
    EXPECT_EQ(kept.value().sections.sections.size(), 4u);  // the header, two accounts, a warning's document
    EXPECT_EQ(describe(Reading(std::move(kept).value().statement)),
              describe(Reading(std::move(every).value().statement)));
  }
}

TEST(Convert, GivesTheSameTextInEveryFormAndPieceSize) {
  std::string lf = kStatement;
  for (std::size_t at; (at = lf.find("\r\n")) != std::string::npos;) lf.erase(at, 1);
  for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{1} << 16}) {
    const ReadOptions options{piece};
    SCOPED_TRACE(piece);
    const Points points = points_of(kStatement, 2);
    auto from_points = convert_statement(points.view(), Encoding::Utf8, Newline::Lf, options);
    ASSERT_TRUE(from_points && from_points.value());
    EXPECT_EQ(from_points.value().value(), lf);
    auto to_cp1251_crlf = convert_statement(lf, Encoding::Cp1251, Newline::CrLf, options);
    ASSERT_TRUE(to_cp1251_crlf && to_cp1251_crlf.value());
    EXPECT_EQ(to_cp1251_crlf.value().value(), to_cp1251(kStatement));
  }
}

TEST(Convert, NamesTheLineAndColumnOfWhatItCannotKeep) {
  // The euro is in windows-1251, the emoji is not.
  const std::string text = replaced(kStatement, "Ключ=\r\n", "Ключ=x€😀\r\n");
  auto converted = convert_statement(text, Encoding::Cp1251, Newline::CrLf, ReadOptions{8});
  ASSERT_TRUE(converted);
  ASSERT_FALSE(converted.value());
  const auto* unencodable = std::get_if<Unencodable>(&converted.value().error());
  ASSERT_NE(unencodable, nullptr);
  EXPECT_EQ(unencodable->lineno, 13u);
  EXPECT_EQ(unencodable->column, 8u);
  EXPECT_EQ(unencodable->code_point, U'😀');

  auto lost_cr = convert_statement(replaced(kStatement, "Ключ=\r\n", "Ключ=\r\r\n"), Encoding::Utf8, Newline::Lf);
  ASSERT_TRUE(lost_cr && !lost_cr.value());
  const auto* cr = std::get_if<CarriageReturnAtEnd>(&lost_cr.value().error());
  ASSERT_NE(cr, nullptr);
  EXPECT_EQ(cr->lineno, 13u);
  EXPECT_EQ(cr->column, 6u);
}

// DOS written and read back as the package reads it; where the header does not declare DOS, cp866 would be read back
// as windows-1251, and is refused.
TEST(Convert, WritesCp866ThatReadsBackAsCp866) {
  const ReadOptions package{std::size_t{7}, true, true};
  const std::string dos = replaced(kStatement, "РасчСчет=2\r\n\r\n", "РасчСчет=2\r\nКодировка=DOS\r\n");
  auto to_dos = convert_statement(dos, Encoding::Cp866, Newline::CrLf, package);
  ASSERT_TRUE(to_dos && to_dos.value());
  EXPECT_EQ(to_dos.value().value(), to_cp866(dos));
  auto back = convert_statement(to_dos.value().value(), Encoding::Utf8, Newline::CrLf, package);
  ASSERT_TRUE(back && back.value());
  EXPECT_EQ(back.value().value(), dos);
  auto to_windows = convert_statement(to_cp866(dos), Encoding::Cp1251, Newline::CrLf, package);
  ASSERT_TRUE(to_windows && to_windows.value());
  EXPECT_EQ(to_windows.value().value(), to_cp1251(dos));

  for (const ReadOptions& options : {package, ReadOptions{}}) {
    auto undeclared = convert_statement(kStatement, Encoding::Cp866, Newline::CrLf, options);
    ASSERT_TRUE(undeclared && !undeclared.value());
    const auto* as = std::get_if<ReadBackAs>(&undeclared.value().error());
    ASSERT_NE(as, nullptr);
    EXPECT_EQ(as->encoding, Encoding::Cp1251);
  }
  auto marked = convert_statement("\xEF\xBB\xBF" + kStatement, Encoding::Utf8, Newline::CrLf, package);
  ASSERT_TRUE(marked && marked.value());
  EXPECT_EQ(marked.value().value(), kStatement);  // the mark is not written
}

// The conversion rides along with the reading: a statement the reader refuses gives the reader's error, before
// anything the text could not keep.
TEST(Convert, GivesTheReadersErrorFirst) {
  const std::string unencodable = replaced(kStatement, "Ключ=\r\n", "Ключ=😀\r\n");
  const std::pair<std::string, std::string> cases[] = {
      {"hello\r\n", "NotStatement"},
      {unencodable.substr(0, unencodable.find("КонецФайла")), "Unfinished"},
      {unencodable + "просто строка\r\n", "Syntax 19"},
  };
  for (const auto& [input, expected] : cases) {
    auto converted = convert_statement(input, Encoding::Cp1251, Newline::CrLf);
    ASSERT_FALSE(converted) << input;
    EXPECT_EQ(describe_error(converted.error()), expected) << input;
  }
}

}  // namespace
}  // namespace quorlane::testing

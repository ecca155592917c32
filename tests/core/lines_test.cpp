#include "quorlane/lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorlane {
namespace {

// ---- splitting --------------------------------------------------------------------------------------------

std::vector<std::string> split(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  std::string_view line;
  while (next_line(text, pos, line)) lines.emplace_back(line);
  return lines;
}

struct SplitCase {
  const char* name;
  std::string text;
  std::vector<std::string> lines;
};

class SplitTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitTest, CutsAfterEveryLineFeed) { EXPECT_EQ(split(GetParam().text), GetParam().lines); }

INSTANTIATE_TEST_SUITE_P(
    Texts, SplitTest,
    ::testing::Values(SplitCase{"empty", "", {}}, SplitCase{"no_line_feed", "a", {"a"}},
                      SplitCase{"lf", "a\nb\n", {"a", "b"}}, SplitCase{"crlf", "a\r\nb\r\n", {"a", "b"}},
                      SplitCase{"last_line_without_lf", "a\nb", {"a", "b"}},
                      SplitCase{"trailing_cr_stays", "a\nb\r", {"a", "b\r"}},
                      SplitCase{"only_one_cr_removed", "a\r\r\n", {"a\r"}},
                      SplitCase{"inner_cr_stays", "a\rb\n", {"a\rb"}},
                      SplitCase{"cr_only_is_one_line", "a\rb\rc\r", {"a\rb\rc\r"}},
                      SplitCase{"empty_lines", "\n\r\n\n", {"", "", ""}},
                      SplitCase{"lone_cr_line", "a\n\r\nb", {"a", "", "b"}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- one line ---------------------------------------------------------------------------------------------

enum class Kind { Blank, Unrecognized, Marker, Attribute };

struct LineCase {
  const char* name;
  std::string line;
  Kind kind;
  Marker marker = Marker::FileStart;
  std::string key = "";
  std::string value = "";
};

class ClassifyLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(ClassifyLineTest, RecognisesTheShape) {
  const LineCase& c = GetParam();
  ClassifiedLine out;
  bool recognized = true;
  const bool produced = classify_line(c.line, 42, out, recognized);
  switch (c.kind) {
    case Kind::Blank:
      EXPECT_FALSE(produced);
      return;
    case Kind::Unrecognized:
      EXPECT_TRUE(produced);
      EXPECT_FALSE(recognized);
      return;
    case Kind::Marker:
      ASSERT_TRUE(produced && recognized);
      EXPECT_TRUE(out.is_marker);
      EXPECT_EQ(out.marker, c.marker);
      break;
    case Kind::Attribute:
      ASSERT_TRUE(produced && recognized);
      EXPECT_FALSE(out.is_marker);
      break;
  }
  EXPECT_EQ(out.lineno, 42u);
  EXPECT_EQ(out.key, c.key);
  EXPECT_EQ(out.value, c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ClassifyLineTest,
    ::testing::Values(
        LineCase{"file_start", "1CClientBankExchange", Kind::Marker, Marker::FileStart},
        LineCase{"account_start", "СекцияРасчСчет", Kind::Marker, Marker::AccountStart},
        LineCase{"account_end", "КонецРасчСчет", Kind::Marker, Marker::AccountEnd},
        LineCase{"document_end", "КонецДокумента", Kind::Marker, Marker::DocumentEnd},
        LineCase{"file_end", "КонецФайла", Kind::Marker, Marker::FileEnd},
        LineCase{"document_start", "СекцияДокумент=Платежное поручение", Kind::Marker, Marker::DocumentStart, "",
                 "Платежное поручение"},
        LineCase{"document_start_empty_type", "СекцияДокумент=", Kind::Marker, Marker::DocumentStart},
        LineCase{"document_start_more_equals", "СекцияДокумент==a=b", Kind::Marker, Marker::DocumentStart, "",
                 "=a=b"},
        LineCase{"document_key_with_space", "СекцияДокумент =X", Kind::Attribute, {}, "СекцияДокумент ", "X"},
        LineCase{"attribute", "Номер=12", Kind::Attribute, {}, "Номер", "12"},
        LineCase{"split_at_first_equals", "Номер=12=3", Kind::Attribute, {}, "Номер", "12=3"},
        LineCase{"empty_key", "=x", Kind::Attribute, {}, "", "x"},
        LineCase{"empty_value", "Номер=", Kind::Attribute, {}, "Номер", ""},
        LineCase{"equals_only", "=", Kind::Attribute, {}, "", ""},
        LineCase{"blanks_kept", " Номер = 1 ", Kind::Attribute, {}, " Номер ", " 1 "},
        LineCase{"marker_as_key", "КонецФайла=1", Kind::Attribute, {}, "КонецФайла", "1"},
        LineCase{"document_key_without_equals", "СекцияДокумент", Kind::Unrecognized},
        LineCase{"marker_trailing_space", "КонецФайла ", Kind::Unrecognized},
        LineCase{"marker_trailing_cr", "КонецФайла\r", Kind::Unrecognized},
        LineCase{"marker_leading_space", " КонецРасчСчет", Kind::Unrecognized},
        LineCase{"marker_other_case", "конецфайла", Kind::Unrecognized},
        LineCase{"marker_prefix", "КонецФайл", Kind::Unrecognized},
        LineCase{"same_length_as_marker", "КонецФайлы", Kind::Unrecognized},
        LineCase{"text", "ABC", Kind::Unrecognized},
        LineCase{"byte_order_mark", "\xEF\xBB\xBF", Kind::Unrecognized},
        LineCase{"zero_width_space_is_not_blank", "\xE2\x80\x8B", Kind::Unrecognized},
        LineCase{"empty", "", Kind::Blank}, LineCase{"spaces", "   ", Kind::Blank},
        LineCase{"ascii_white_space", "\t\x0B\x0C\r ", Kind::Blank},
        LineCase{"no_break_space", "\xC2\xA0", Kind::Blank},
        LineCase{"next_line_character", "\xC2\x85", Kind::Blank},
        LineCase{"ideographic_space", "\xE3\x80\x80", Kind::Blank},
        LineCase{"line_separator", " \xE2\x80\xA8 ", Kind::Blank}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Marker, TextsAndFoundForms) {
  const std::pair<Marker, std::string_view> texts[] = {
      {Marker::FileStart, "1CClientBankExchange"}, {Marker::AccountStart, "СекцияРасчСчет"},
      {Marker::AccountEnd, "КонецРасчСчет"},       {Marker::DocumentStart, "СекцияДокумент="},
      {Marker::DocumentEnd, "КонецДокумента"},     {Marker::FileEnd, "КонецФайла"}};
  for (const auto& [marker, text] : texts) {
    EXPECT_EQ(marker_text(marker), text);
    ClassifiedLine line;
    bool recognized;
    ASSERT_TRUE(classify_line(marker == Marker::DocumentStart ? "СекцияДокумент= a=b " : text, 1, line, recognized));
    EXPECT_EQ(line.marker, marker);
    EXPECT_EQ(line.found(), marker == Marker::DocumentStart ? "СекцияДокумент= a=b " : std::string(text));
  }
}

// ---- whole texts ------------------------------------------------------------------------------------------

// A compact rendering of the classified lines: "5:M4" for marker 4 on line 5, "3:Key=Value" for attributes.
std::vector<std::string> dump(std::string_view text) {
  auto lines = classify_lines(text);
  if (!lines) return {"error"};
  std::vector<std::string> out;
  auto cursor = lines.value().cursor();
  ClassifiedLine line;
  while (cursor.next(line)) {
    std::string item = std::to_string(line.lineno) + ":";
    if (line.is_marker) {
      item.append("M").append(std::to_string(static_cast<int>(line.marker)));
      if (line.marker == Marker::DocumentStart) item.append("[").append(line.value).append("]");
    } else {
      item.append(line.key).append("=").append(line.value);
    }
    out.push_back(item);
  }
  return out;
}

const std::string kText =
    "1CClientBankExchange\r\nВерсияФормата=1.03\r\n\r\n  \t\r\nСекцияДокумент=Платежное поручение\r\n"
    "Номер=12=3\r\n\xC2\xA0\r\nКонецДокумента\r\nКонецФайла\r\n\r\n";

TEST(ClassifyLines, BlankLinesKeepTheNumbering) {
  const std::vector<std::string> expected = {"1:M0", "2:ВерсияФормата=1.03", "5:M3[Платежное поручение]",
                                             "6:Номер=12=3", "8:M4", "9:M5"};
  EXPECT_EQ(dump(kText), expected);
}

TEST(ClassifyLines, LineFeedsAloneReadLikeCrLf) {
  std::string lf;
  for (char c : kText) {
    if (c != '\r') lf += c;
  }
  EXPECT_EQ(dump(lf), dump(kText));
}

TEST(ClassifyLines, EmptyTextHasNoLines) { EXPECT_EQ(dump(""), std::vector<std::string>{}); }

struct BadCase {
  const char* name;
  std::string text;
  std::uint64_t lineno;
  std::string line;
};

class UnrecognizedLineTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(UnrecognizedLineTest, ReportsTheFirstOneWithAnOwnedCopy) {
  std::string text = GetParam().text;
  auto lines = classify_lines(text);
  ASSERT_FALSE(lines.ok());
  text.assign(text.size(), 'x');  // the error must not refer into the text
  const auto* syntax = std::get_if<SyntaxDetail>(&lines.error());
  ASSERT_NE(syntax, nullptr);
  const auto* bad = std::get_if<UnrecognizedLine>(syntax);
  ASSERT_NE(bad, nullptr);
  EXPECT_EQ(bad->lineno, GetParam().lineno);
  EXPECT_EQ(bad->line, GetParam().line);
  EXPECT_EQ(message(lines.error()), "Unrecognized line: '" + GetParam().line + "'");
}

INSTANTIATE_TEST_SUITE_P(
    Texts, UnrecognizedLineTest,
    ::testing::Values(BadCase{"after_file_end", kText + "ABC\r\n", 11, "ABC"},
                      BadCase{"equals_on_the_next_line", "1CClientBankExchange\nAB\nC=D\n", 2, "AB"},
                      BadCase{"equals_after_the_last_line_end", "1CClientBankExchange\n" + std::string(40, 'x') + "\n=\n",
                              2, std::string(40, 'x')},
                      BadCase{"first_of_two", "1CClientBankExchange\n\n  Мусор \nXYZ\n", 3, "  Мусор "},
                      BadCase{"last_line_trailing_cr", "1CClientBankExchange\r\nКонецФайла\r", 2, "КонецФайла\r"},
                      BadCase{"document_start_without_equals", "1CClientBankExchange\nСекцияДокумент\n", 2,
                              "СекцияДокумент"},
                      BadCase{"cr_only_line_ends", "1CClientBankExchange\rКонецФайла\r", 1,
                              "1CClientBankExchange\rКонецФайла\r"}),
    [](const auto& info) { return std::string(info.param.name); });

// Pieces of whole lines: from `least` bytes on, up to and with the next line feed.
TEST(WholeLinesPrefix, EndsWithALineFeedAtOrAfterTheLeastSize) {
  const std::string_view text = "ab\ncd\n";
  EXPECT_EQ(whole_lines_prefix("", 5), 0u);
  EXPECT_EQ(whole_lines_prefix(text, 0), 3u);
  EXPECT_EQ(whole_lines_prefix(text, 1), 3u);
  EXPECT_EQ(whole_lines_prefix(text, 3), 3u);
  EXPECT_EQ(whole_lines_prefix(text, 4), 6u);
  EXPECT_EQ(whole_lines_prefix(text, 100), 6u);
  EXPECT_EQ(whole_lines_prefix("ab\ncd", 4), 5u);  // no line feed after: all of it
}

}  // namespace
}  // namespace quorlane

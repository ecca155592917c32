// The line cursor: splitting, numbering, classification and the verdict on a text's lines, in both encodings
// a text's lines can be written in.
#include "quorlane/lines.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

#include "quorlane/line_feeds.h"
#include "test_support.h"

namespace quorlane {
namespace {

using testing::to_cp1251;

// The lines of a text as the cursor gives them: "5:M4" for marker 4 on line 5, "3:Key=Value" for attributes.
// Keys and values are shown as UTF-8 whatever the text's encoding. The cursor's verdict comes last.
std::vector<std::string> dump(const std::string& input, LineCursor::FirstLine first = LineCursor::FirstLine::Any,
                              std::size_t piece = 64 << 10) {
  auto source = TextSource::of_bytes(input, ReadOptions{piece});
  if (!source) return {"cannot open"};
  LineCursor lines(source.value(), first);
  const auto utf8 = [&](std::string_view text) {
    return source.value().text_encoding() == Encoding::Utf8 ? std::string(text) : [&] {
      std::string out;  // the test texts hold ASCII and А..я only
      for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        const char32_t point = b < 0x80 ? b : 0x410 + (b - 0xC0);
        if (point < 0x80) out += static_cast<char>(point);
        else out += static_cast<char>(0xC0 | (point >> 6)), out += static_cast<char>(0x80 | (point & 0x3F));
      }
      return out;
    }();
  };
  std::vector<std::string> out;
  ClassifiedLine line;
  while (lines.next(line)) {
    std::string item = std::to_string(line.lineno);
    if (line.is_marker) {
      item.append(":M").append(std::to_string(static_cast<int>(line.marker)));
      if (line.marker == Marker::DocumentStart) item.append("[").append(utf8(line.value)).append("]");
    } else {
      item.append(":").append(utf8(line.key)).append("=").append(utf8(line.value));
    }
    out.push_back(item);
  }
  auto verdict = lines.finish();
  out.push_back(verdict ? "ok" : "error at " + std::to_string(lineno(verdict.error()).value_or(0)) + ": " +
                                     message(verdict.error()));
  return out;
}

// ---- splitting: every line below starts with "=", so that each is an attribute with the line as value ------

struct SplitCase {
  const char* name;
  std::string text;
  std::vector<std::string> lines;
};

// GoogleTest shows a case by its name.
void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }

class SplitTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitTest, CutsAfterEveryLineFeed) {
  std::vector<std::string> expected = GetParam().lines;
  expected.push_back("ok");
  for (std::size_t piece : {1, 3, 64 << 10}) EXPECT_EQ(dump(GetParam().text, LineCursor::FirstLine::Any, piece), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SplitTest,
    ::testing::Values(SplitCase{"empty", "", {}}, SplitCase{"no_line_feed", "=a", {"1:=a"}},
                      SplitCase{"lf", "=a\n=b\n", {"1:=a", "2:=b"}}, SplitCase{"crlf", "=a\r\n=b\r\n", {"1:=a", "2:=b"}},
                      SplitCase{"trailing_cr_stays", "=a\n=b\r", {"1:=a", "2:=b\r"}},
                      SplitCase{"only_one_cr_removed", "=a\r\r\n", {"1:=a\r"}},
                      SplitCase{"inner_cr_stays", "=a\rb\n", {"1:=a\rb"}},
                      SplitCase{"empty_lines_keep_their_numbers", "\n\r\n=a\n\n=b", {"3:=a", "5:=b"}},
                      SplitCase{"long_lines", std::string("=").append(100, 'x').append("\n=y"),
                                {std::string("1:=").append(100, 'x'), "2:=y"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Counted in blocks of 16 bytes, 255 blocks at a time, and the rest a byte at a time: every length and place of
// line feeds across those bounds gives the plain count.
TEST(LineFeeds, CountAsTheBytesDo) {
  for (const std::size_t size : {std::size_t{0}, std::size_t{15}, std::size_t{16}, std::size_t{4080},
                                 std::size_t{4097}, std::size_t{100003}}) {
    std::string text(size, 'x');
    for (std::size_t i = 0; i < size; i += 1 + i % 7) text[i] = '\n';  // up to 255 a lane in a run of 255 blocks
    if (size > 0) text[size - 1] = '\n';
    const auto plain = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    EXPECT_EQ(count_line_feeds(text), plain) << size;
    EXPECT_EQ(count_line_feeds(std::string(size, '\n')), size);
  }
}

// ---- one line, in both encodings --------------------------------------------------------------------------

struct LineCase {
  const char* name;
  std::string line;
  std::string shown;  // as dump() shows it; "" for a blank line, "error" for an unrecognised one
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }

class ClassifyTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(ClassifyTest, RecognisesTheShape) {
  const LineCase& c = GetParam();
  std::vector<std::string> expected;
  if (c.shown == "error") {
    expected = {"error at 2: Unrecognized line: '" + c.line + "'"};
  } else {
    if (!c.shown.empty()) expected.push_back("2:" + c.shown);
    expected.push_back("ok");
  }
  const std::string text = "\n" + c.line + "\n";
  EXPECT_EQ(dump(text), expected);
  bool ascii_and_cyrillic = true;
  for (std::size_t pos = 0; pos < text.size();) {
    const char32_t point = next_code_point(text, pos);
    ascii_and_cyrillic = ascii_and_cyrillic && (point < 0x80 || (point >= 0x410 && point <= 0x44F));
  }
  // The same as windows-1251 bytes: a last blank line with a no-break space (0xA0) keeps them from being UTF-8.
  if (ascii_and_cyrillic) {
    EXPECT_EQ(dump(to_cp1251(text) + "\xA0" + std::string(60, ' ') + "\n"), expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ClassifyTest,
    ::testing::Values(
        LineCase{"file_start", "1CClientBankExchange", "M0"}, LineCase{"account_start", "СекцияРасчСчет", "M1"},
        LineCase{"account_end", "КонецРасчСчет", "M2"}, LineCase{"document_end", "КонецДокумента", "M4"},
        LineCase{"file_end", "КонецФайла", "M5"},
        LineCase{"document_start", "СекцияДокумент=Платежное поручение", "M3[Платежное поручение]"},
        LineCase{"document_start_empty_type", "СекцияДокумент=", "M3[]"},
        LineCase{"document_start_more_equals", "СекцияДокумент==a=b", "M3[=a=b]"},
        LineCase{"document_key_with_space", "СекцияДокумент =X", "СекцияДокумент =X"},
        LineCase{"split_at_first_equals", "Номер=12=3", "Номер=12=3"}, LineCase{"empty_key", "=x", "=x"},
        LineCase{"blanks_kept", " Номер = 1 ", " Номер = 1 "}, LineCase{"marker_as_key", "КонецФайла=1", "КонецФайла=1"},
        LineCase{"document_key_without_equals", "СекцияДокумент", "error"},
        LineCase{"marker_trailing_space", "КонецФайла ", "error"},
        LineCase{"marker_leading_space", " КонецРасчСчет", "error"},
        LineCase{"marker_other_case", "конецфайла", "error"}, LineCase{"marker_prefix", "КонецФайл", "error"},
        LineCase{"same_length_as_marker", "КонецФайлы", "error"}, LineCase{"byte_order_mark", "\xEF\xBB\xBF", "error"},
        LineCase{"zero_width_space_is_not_blank", "\xE2\x80\x8B", "error"}, LineCase{"spaces", "   ", ""},
        LineCase{"ascii_white_space", "\t\x0B\x0C\r ", ""}, LineCase{"no_break_space", "\xC2\xA0", ""},
        LineCase{"next_line_character", "\xC2\x85", ""}, LineCase{"line_separator", " \xE2\x80\xA8 ", ""}),
    [](const auto& info) { return std::string(info.param.name); });

// The same lines as windows-1251 bytes (a text that is not UTF-8 is read as such) show the same.
TEST(Classify, Windows1251LinesReadLikeTheirUtf8) {
  const std::string text =
      "1CClientBankExchange\nВерсияФормата=1.03\n \t\nСекцияДокумент=Платежное поручение\nНомер=1\n"
      "КонецДокумента\nСекцияРасчСчет\nКонецРасчСчет\nКонецФайла\n\nмусор\n";
  const std::vector<std::string> utf8 = dump(text);
  ASSERT_EQ(utf8.back(), "error at 11: Unrecognized line: 'мусор'");
  EXPECT_EQ(dump(to_cp1251(text) + "\xA0\n"), utf8);  // a no-break space (0xA0) alone is a blank line
}

// ---- the first line -----------------------------------------------------------------------------------------

struct FirstLineCase {
  const char* name;
  std::string text;
  bool ok;
};

void PrintTo(const FirstLineCase& c, std::ostream* os) { *os << c.name; }

class FirstLineTest : public ::testing::TestWithParam<FirstLineCase> {};

TEST_P(FirstLineTest, MustBeExactlyTheFormatName) {
  const std::vector<std::string> lines = dump(GetParam().text, LineCursor::FirstLine::OpensStatement);
  EXPECT_EQ(lines.back() == "error at 0: Input is not a 1C statement", !GetParam().ok) << lines.back();
}

INSTANTIATE_TEST_SUITE_P(
    Lines, FirstLineTest,
    ::testing::Values(FirstLineCase{"alone", "1CClientBankExchange", true},
                      FirstLineCase{"crlf", "1CClientBankExchange\r\nКонецФайла", true},
                      FirstLineCase{"empty", "", false}, FirstLineCase{"empty_first_line", "\n1CClientBankExchange", false},
                      FirstLineCase{"trailing_cr_without_lf", "1CClientBankExchange\r", false},
                      FirstLineCase{"two_crs", "1CClientBankExchange\r\r\n", false},
                      FirstLineCase{"cr_only_line_ends", "1CClientBankExchange\rКонецФайла\r", false},
                      FirstLineCase{"leading_space", " 1CClientBankExchange\n", false},
                      FirstLineCase{"other_case", "1cClientBankExchange\n", false},
                      FirstLineCase{"byte_order_mark", "\xEF\xBB\xBF" "1CClientBankExchange\n", false}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the verdict --------------------------------------------------------------------------------------------

// The first unrecognised line is reported, as an owned copy, whether or not the lines were all taken.
TEST(Verdict, FirstUnrecognisedLineWithAnOwnedCopy) {
  const std::string text = "1CClientBankExchange\n\n  Мусор \nXYZ\n";
  for (int taken : {0, 1, 5}) {
    auto source = TextSource::of_bytes(text, ReadOptions{1});
    LineCursor lines(source.value());
    ClassifiedLine line;
    for (int i = 0; i < taken; ++i) lines.next(line);
    auto verdict = lines.finish();
    ASSERT_FALSE(verdict.ok());
    const auto& bad = std::get<UnrecognizedLine>(std::get<SyntaxDetail>(verdict.error()));
    EXPECT_EQ(bad.lineno, 3u);
    EXPECT_EQ(bad.line, "  Мусор ");
  }
}

// A text found not to be UTF-8 after all makes every other finding void.
TEST(Verdict, TextThatIsNotUtf8WinsOverEveryOtherFinding) {
  for (const std::string start : {"1CClientBankExchange\nмусор\n", "Выписка\n"}) {
    const std::string input = start + std::string(100, '=') + "\n\xC6\n";
    auto source = TextSource::of_bytes(input, ReadOptions{1});
    ASSERT_EQ(source.value().encoding(), Encoding::Utf8);
    LineCursor lines(source.value());
    auto verdict = lines.finish();
    ASSERT_FALSE(verdict.ok());
    EXPECT_TRUE(std::holds_alternative<NotUtf8>(verdict.error())) << start;
  }
}

}  // namespace
}  // namespace quorlane

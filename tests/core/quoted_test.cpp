#include "quorlane/quoted.h"

#include <gtest/gtest.h>

#include "quorlane/unicode.h"

namespace quorlane {
namespace {

struct QuotedCase {
  const char* text;
  const char* expected;
};

// GoogleTest shows a case by what it expects.
void PrintTo(const QuotedCase& c, std::ostream* os) { *os << c.expected; }

class QuotedTest : public ::testing::TestWithParam<QuotedCase> {};

TEST_P(QuotedTest, RendersTheTextBetweenDoubleQuotes) { EXPECT_EQ(quoted(GetParam().text), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Escapes, QuotedTest,
    ::testing::Values(QuotedCase{"", R"("")"}, QuotedCase{"a\"b", R"("a\"b")"}, QuotedCase{"a\\b", R"("a\\b")"},
                      QuotedCase{"\t\r\n", R"("\t\r\n")"}, QuotedCase{"\a", R"("\u{7}")"},
                      QuotedCase{"\x7f", R"("\u{7f}")"},
                      QuotedCase{"Счёт 'A' ok", R"("Счёт 'A' ok")"},
                      QuotedCase{"\u00a0", R"("\u{a0}")"},       // no-break space: a separator, not printable
                      QuotedCase{"\ufeff1", R"("\u{feff}1")"},   // byte order mark: a format character
                      QuotedCase{"e\u0301", R"("e\u{301}")"},    // combining accent after a letter
                      QuotedCase{"\u0085", R"("\u{85}")"},
                      QuotedCase{"\u200b", R"("\u{200b}")"},
                      QuotedCase{"\u2028", R"("\u{2028}")"},
                      QuotedCase{"\ue000", R"("\u{e000}")"},     // private use
                      QuotedCase{"\U000e0001", R"("\u{e0001}")"},  // a format character outside the BMP
                      QuotedCase{"\U0001F600", "\"\U0001F600\""},  // an emoji is printable
                      QuotedCase{"\U0010FFFF", R"("\u{10ffff}")"}));

TEST(QuotedTest, NulIsTheShortEscape) { EXPECT_EQ(quoted(std::string_view("a\0b", 3)), R"("a\0b")"); }

TEST(UnicodeTest, WhiteSpaceIsTheUnicodeProperty) {
  for (char32_t c : {U'\t', U'\n', U'\v', U'\f', U'\r', U' ', U'\u0085', U'\u00a0', U'\u1680', U'\u2000',
                     U'\u200a', U'\u2028', U'\u2029', U'\u202f', U'\u205f', U'\u3000'}) {
    EXPECT_TRUE(is_white_space(c)) << std::hex << static_cast<unsigned>(c);
  }
  for (char32_t c : {U'\0', U'\u0008', U'\u200b', U'\ufeff', U'\u180e', U'a', U'\u0416'}) {
    EXPECT_FALSE(is_white_space(c)) << std::hex << static_cast<unsigned>(c);
  }
}

TEST(UnicodeTest, BlankTextIsEmptyOrWhiteSpaceOnly) {
  EXPECT_TRUE(is_blank(""));
  EXPECT_TRUE(is_blank(" \t\u00a0\u3000"));
  EXPECT_FALSE(is_blank(" x "));
  EXPECT_FALSE(is_blank("\u200b"));
}

TEST(UnicodeTest, NextCodePointDecodesEveryLength) {
  const std::string_view text = "a\u0416\u20ac\U0001F600";
  std::size_t pos = 0;
  EXPECT_EQ(next_code_point(text, pos), U'a');
  EXPECT_EQ(next_code_point(text, pos), U'\u0416');
  EXPECT_EQ(next_code_point(text, pos), U'\u20ac');
  EXPECT_EQ(next_code_point(text, pos), U'\U0001F600');
  EXPECT_EQ(pos, text.size());
}

TEST(UnicodeTest, PrintableExcludesUnassignedAndSurrogates) {
  EXPECT_FALSE(is_printable(0x0378));  // unassigned in the Greek block
  EXPECT_FALSE(is_printable(0xD800));
  EXPECT_FALSE(is_printable(0x0600));  // Arabic number sign: a format character
  EXPECT_TRUE(is_printable(U' '));
  EXPECT_TRUE(is_printable(U'\u0416'));
  EXPECT_TRUE(is_grapheme_extend(U'\u0301'));  // printable by category, escaped as a combining mark
  EXPECT_TRUE(is_printable(U'\u0301'));
}

}  // namespace
}  // namespace quorlane

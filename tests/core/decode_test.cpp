#include "quorlane/decode.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "quorlane/lines.h"
#include "quorlane/unicode.h"
// The decoders are internal to the core; their test reaches them directly.
#include "../../core/src/text/decoders.h"

namespace quorlane {
namespace {

using namespace std::string_literals;

// Test inputs are written in UTF-8 and converted: windows-1251 knows ASCII, А..я, Ё, ё and № here.
std::string to_cp1251(std::string_view utf8) {
  std::string out;
  for (std::size_t pos = 0; pos < utf8.size();) {
    const char32_t c = next_code_point(utf8, pos);
    if (c < 0x80) out += static_cast<char>(c);
    else if (c >= 0x410 && c <= 0x44F) out += static_cast<char>(0xC0 + (c - 0x410));
    else if (c == 0x401) out += '\xA8';
    else if (c == 0x451) out += '\xB8';
    else if (c == 0x2116) out += '\xB9';
    else std::abort();
  }
  return out;
}

std::string to_utf16(std::string_view utf8, bool big_endian, bool bom) {
  std::string out;
  auto unit = [&](char32_t u) {
    const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
    out += big_endian ? hi : lo;
    out += big_endian ? lo : hi;
  };
  if (bom) unit(0xFEFF);
  for (std::size_t pos = 0; pos < utf8.size();) {
    const char32_t c = next_code_point(utf8, pos);
    if (c < 0x10000) {
      unit(c);
    } else {
      unit(0xD800 + ((c - 0x10000) >> 10));
      unit(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  return out;
}

const std::string kStatement =
    "1CClientBankExchange\r\nВерсияФормата=1.03\r\nСекцияРасчСчет\r\nРасчСчет=40702810000000000001\r\n"
    "КонецРасчСчет\r\nСекцияДокумент=Платежное поручение\r\nНомер=1\r\nНазначениеПлатежа=Оплата № 5, "
    "ёлки и Ёжики\r\nКонецДокумента\r\nКонецФайла\r\n";

// ---- UTF-8 validation -------------------------------------------------------------------------------------

struct Utf8Case {
  const char* name;
  std::string bytes;
  bool valid;
};

std::vector<Utf8Case> utf8_cases() {
  return {
      {"empty", "", true},
      {"ascii", "abc", true},
      {"cyrillic", "\xD0\x90\xD1\x8F", true},
      {"two_byte_min", "\xC2\x80", true},
      {"overlong_c0", "\xC0\x80", false},
      {"overlong_c1", "\xC1\xBF", false},
      {"three_byte_min", "\xE0\xA0\x80", true},
      {"overlong_e0_80", "\xE0\x80\x80", false},
      {"overlong_e0_9f", "\xE0\x9F\xBF", false},
      {"before_surrogates", "\xED\x9F\xBF", true},
      {"surrogate_low_end", "\xED\xA0\x80", false},
      {"surrogate_high_end", "\xED\xBF\xBF", false},
      {"after_surrogates", "\xEE\x80\x80", true},
      {"euro", "\xE2\x82\xAC", true},
      {"u_ffff", "\xEF\xBF\xBF", true},
      {"four_byte_min", "\xF0\x90\x80\x80", true},
      {"overlong_f0_80", "\xF0\x80\x80\x80", false},
      {"overlong_f0_8f", "\xF0\x8F\xBF\xBF", false},
      {"max_scalar", "\xF4\x8F\xBF\xBF", true},
      {"above_max_f4_90", "\xF4\x90\x80\x80", false},
      {"above_max_f5", "\xF5\x80\x80\x80", false},
      {"byte_fe", "\xFE", false},
      {"byte_ff", "\xFF", false},
      {"lone_continuation", "\x80", false},
      {"extra_continuation", "\xD0\x90\x80", false},
      {"truncated_two", "\xD0", false},
      {"truncated_three", "\xE2\x82", false},
      {"truncated_four", "\xF0\x9F\x98", false},
      {"lead_then_ascii", "\xD0" "A", false},
      {"lead_then_lead", "\xD0\xD0\x90", false},
      {"three_then_ascii", "\xE2\x82" "A", false},
      {"four_missing_last", "\xF0\x9F\x98" "A", false},
      {"cp1251_text", "\xCF\xF0\xE8\xE2\xE5\xF2", false},
  };
}

class Utf8ValidationTest : public ::testing::TestWithParam<Utf8Case> {};

// Each sequence is placed at every offset around the 32- and 64-byte block edges, after ASCII or after
// two-byte characters, at the very end or followed by more text, so that both validators see it split
// across blocks, in the padded tail and in the middle of a block.
TEST_P(Utf8ValidationTest, ValidatorsAgreeAtEveryPosition) {
  const Utf8Case& c = GetParam();
  for (const std::string& filler : {std::string("a"), std::string("\xD0\x96")}) {
    for (std::size_t prefix = 0; prefix <= 70; ++prefix) {
      for (const std::string& suffix : {std::string(), std::string("z"), std::string(40, 'z')}) {
        std::string input;
        while (input.size() + filler.size() <= prefix) input += filler;
        input += c.bytes;
        input += suffix;
        SCOPED_TRACE(testing::Message() << "prefix " << input.size() - c.bytes.size() - suffix.size()
                                        << " suffix " << suffix.size());
        EXPECT_EQ(detail::is_valid_utf8_scalar(input), c.valid);
        if (detail::cpu_has_avx2()) {
          EXPECT_EQ(detail::is_valid_utf8_avx2(input), c.valid);
        }
        EXPECT_EQ(is_valid_utf8(input), c.valid);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Sequences, Utf8ValidationTest, ::testing::ValuesIn(utf8_cases()),
                         [](const auto& info) { return std::string(info.param.name); });

// Random damage to a realistic text: the two validators must give the same answer every time.
TEST(Utf8Validation, ValidatorsAgreeOnDamagedText) {
  if (!detail::cpu_has_avx2()) GTEST_SKIP() << "no AVX2 on this processor";
  std::string base;
  for (int i = 0; i < 8; ++i) base += kStatement + "€𝄞";
  std::mt19937 rng(12345);
  int invalid = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string input = base.substr(0, rng() % base.size());
    const int edits = static_cast<int>(rng() % 3);
    for (int e = 0; e < edits && !input.empty(); ++e) {
      input[rng() % input.size()] = static_cast<char>(rng() & 0xFF);
    }
    const bool scalar = detail::is_valid_utf8_scalar(input);
    invalid += !scalar;
    ASSERT_EQ(detail::is_valid_utf8_avx2(input), scalar) << "round " << round;
  }
  EXPECT_GT(invalid, 1000);  // the damage must actually produce invalid inputs
}

// ---- decode_input -----------------------------------------------------------------------------------------

TEST(DecodeInput, ValidUtf8IsUsedInPlace) {
  auto decoded = decode_input(kStatement);
  ASSERT_TRUE(decoded.ok());
  EXPECT_EQ(decoded.value().encoding(), Encoding::Utf8);
  EXPECT_EQ(decoded.value().text().data(), kStatement.data());
  EXPECT_EQ(decoded.value().text().size(), kStatement.size());
}

TEST(DecodeInput, Utf8ByteOrderMarkStaysInTheText) {
  const std::string input = "\xEF\xBB\xBF"s + kStatement;
  auto decoded = decode_input(input);
  ASSERT_TRUE(decoded.ok());
  EXPECT_EQ(decoded.value().encoding(), Encoding::Utf8);
  EXPECT_EQ(decoded.value().text(), input);
  EXPECT_FALSE(check_first_line(decoded.value().text()).ok());
}

struct DecodeCase {
  const char* name;
  std::string input;
  bool ok;
  std::string text;  // expected decoded text when ok; its encoding is then always cp1251
};

std::vector<DecodeCase> decode_cases() {
  const std::string cyrillic = "Платежное поручение №7, ёж";
  std::string lone_high = to_utf16(kStatement, false, true);
  lone_high += "\x00\xD8" "A\x00"s;  // high surrogate followed by "A"
  std::string lone_low = to_utf16(kStatement, true, true);
  lone_low += "\xDC\x00"s;
  std::string odd = to_utf16(kStatement, false, true);
  odd += "A";
  return {
      {"cp1251_statement", to_cp1251(kStatement), true, kStatement},
      {"cp1251_single_byte", "\xFF", true, "я"},
      {"cp1251_letters", to_cp1251(cyrillic), true, cyrillic},
      // The WHATWG index maps 0x98 to U+0098 where some code pages leave it undefined.
      {"cp1251_0x98", to_cp1251(cyrillic) + "\x98", true, cyrillic + "\xC2\x98"},
      {"cp1251_punctuation", to_cp1251(kStatement) + "\x88\x96\x97\x85\xAB\xBB", true,
       kStatement + "€–—…«»"},
      {"utf16le_bom", to_utf16(kStatement, false, true), true, kStatement},
      {"utf16be_bom", to_utf16(kStatement, true, true), true, kStatement},
      {"utf16le_surrogate_pair", to_utf16(kStatement + "𝄞", false, true), true, kStatement + "𝄞"},
      {"utf16le_lone_high_surrogate", lone_high, false, ""},
      {"utf16be_lone_low_surrogate", lone_low, false, ""},
      {"utf16_odd_length", odd, false, ""},
      {"utf16_bom_only", "\xFF\xFE", false, ""},
      // Not valid UTF-8, so the mark selects a UTF-8 decoder that must fail on the windows-1251 bytes.
      {"utf8_bom_then_cp1251", "\xEF\xBB\xBF"s + to_cp1251(kStatement), false, ""},
      // Two bytes are too short for the UTF-8 mark: read as windows-1251 "п»", half implausible.
      {"two_bytes_of_utf8_bom", "\xEF\xBB", false, ""},
      {"control_characters", "\xC0"s + std::string(30, '\x01'), false, ""},
      {"vertical_tabs", to_cp1251(kStatement) + std::string(20, '\x0B'), false, ""},
      {"latin1_range_only", to_utf16(std::string(10, 'a') + "ϿϿ", false, true), false, ""},
      {"just_above_latin1_range", to_utf16(std::string(10, 'a') + "ЀЀ", false, true), true,
       std::string(10, 'a') + "ЀЀ"},
  };
}

class DecodeInputTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeInputTest, DecodesOrRejects) {
  const DecodeCase& c = GetParam();
  auto decoded = decode_input(c.input);
  ASSERT_EQ(decoded.ok(), c.ok);
  if (c.ok) {
    EXPECT_EQ(decoded.value().encoding(), Encoding::Cp1251);
    EXPECT_EQ(decoded.value().text(), c.text);
    EXPECT_TRUE(is_valid_utf8(decoded.value().text()));
  } else {
    EXPECT_TRUE(std::holds_alternative<NotStatement>(decoded.error()));
  }
}

INSTANTIATE_TEST_SUITE_P(Inputs, DecodeInputTest, ::testing::ValuesIn(decode_cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DecodeInput, Cp1251TextSurvivesAMove) {
  const std::string input = to_cp1251(kStatement);
  auto decoded = decode_input(input);
  ASSERT_TRUE(decoded.ok());
  DecodedInput moved = std::move(decoded).value();
  EXPECT_EQ(moved.text(), kStatement);
  EXPECT_EQ(encoding_name(moved.encoding()), "cp1251");
  EXPECT_EQ(encoding_name(Encoding::Utf8), "utf-8");
}

// Every byte of the upper half decodes to a character of two or three bytes (a decoder that writes its
// output in words must still produce exactly these bytes), whatever its neighbours.
TEST(DecodeInput, Cp1251UpperHalfInEveryPosition) {
  std::string input;
  for (int b = 0xC0; b < 0x100; ++b) input += static_cast<char>(b);  // А..я
  for (int b = 0x80; b < 0xC0; ++b) input += static_cast<char>(b);
  input += std::string(1000, 'a');  // keeps the upper half's Latin-1 characters below the plausibility limit
  auto decoded = decode_input(input);
  ASSERT_TRUE(decoded.ok());
  const std::string_view text = decoded.value().text();
  std::size_t pos = 0;
  for (char32_t c = 0x410; c <= 0x44F; ++c) ASSERT_EQ(next_code_point(text, pos), c);
  const char32_t upper[] = {0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
                            0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                            0x2013, 0x2014, 0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
                            0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
                            0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
                            0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};
  for (char32_t c : upper) ASSERT_EQ(next_code_point(text, pos), c);
  EXPECT_EQ(text.substr(pos), std::string(1000, 'a'));
}

// The vectorised and the portable windows-1251 decoders against a byte-by-byte decoding, on texts mixing
// ASCII, letters and the punctuation range, at every length around the eight-byte steps.
TEST(DecodeCp1251, VectorisedAndPortableDecodersAgree) {
  std::mt19937 rng(7);
  const std::string alphabet = "az 09=\r\n\xC0\xCF\xD0\xDF\xE0\xEF\xF0\xFF\xA8\xB8\xB9\x80\x88\x98\xA0\xBF";
  for (int round = 0; round < 3000; ++round) {
    std::string input;
    const std::size_t size = rng() % 100;
    // Some rounds are letters and ASCII only, the vectorised decoder's fast case.
    const std::size_t choices = round % 2 == 0 ? 12 : alphabet.size();
    for (std::size_t i = 0; i < size; ++i) input += alphabet[rng() % choices];
    std::string expected;
    for (char byte : input) {
      const detail::DecodedBytes one = detail::decode_cp1251(std::string_view(&byte, 1));
      expected.append(one.bytes.get(), one.size);
    }
    for (bool vector : {false, true}) {
      const detail::DecodedBytes all = detail::decode_cp1251(input, vector);
      ASSERT_EQ(std::string_view(all.bytes.get(), all.size), expected) << "round " << round << " vector " << vector;
      ASSERT_FALSE(all.malformed);
      ASSERT_EQ(detail::cp1251_decoded_size(input, vector), expected.size()) << "round " << round;
    }
  }
}

// ---- plausibility -----------------------------------------------------------------------------------------

// A windows-1251 input of `plausible` Cyrillic letters and `implausible` control characters, in that
// order, followed by `tail` (already windows-1251).
std::string mixed(std::size_t plausible, std::size_t implausible, const std::string& tail = "") {
  std::string input(plausible, '\xC6');  // Ж
  input.append(implausible, '\x01');
  return input + tail;
}

struct PlausibilityCase {
  const char* name;
  std::string input;
  bool ok;
};

std::vector<PlausibilityCase> plausibility_cases() {
  return {
      {"96_percent", mixed(96, 4), true},
      {"95_percent", mixed(95, 5), false},
      {"95_9_percent", mixed(959, 41), false},
      {"96_0_percent", mixed(960, 40), true},
      // Only the first 20480 characters count (characters, not bytes: each Ж becomes two bytes).
      {"limit_96_then_controls", mixed(19661, 819, std::string(50000, '\x01')), true},
      {"limit_95_then_letters", mixed(19660, 820, std::string(50000, '\xC6')), false},
      {"controls_first_then_letters", mixed(0, 820) + mixed(19660, 0) + std::string(50000, '\xC6'), false},
      {"all_plausible_ascii_classes", "\xC6 \t\r\n\f!/:@[`{~09AZaz", true},
      {"delete_is_implausible", "\xC6\x7F", false},
      {"nbsp_is_implausible", "\xA0\xC6", false},
  };
}

class PlausibilityTest : public ::testing::TestWithParam<PlausibilityCase> {};

TEST_P(PlausibilityTest, NeedsNinetySixPercentOfTheFirstCharacters) {
  auto decoded = decode_input(GetParam().input);
  EXPECT_EQ(decoded.ok(), GetParam().ok);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, PlausibilityTest, ::testing::ValuesIn(plausibility_cases()),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- first line ---------------------------------------------------------------------------------------------

struct FirstLineCase {
  const char* name;
  std::string text;
  bool ok;
};

class FirstLineTest : public ::testing::TestWithParam<FirstLineCase> {};

TEST_P(FirstLineTest, MustBeExactlyTheFormatName) {
  auto status = check_first_line(GetParam().text);
  ASSERT_EQ(status.ok(), GetParam().ok);
  if (!status.ok()) {
    EXPECT_TRUE(std::holds_alternative<NotStatement>(status.error()));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, FirstLineTest,
    ::testing::Values(FirstLineCase{"alone", "1CClientBankExchange", true},
                      FirstLineCase{"lf", "1CClientBankExchange\nКонецФайла", true},
                      FirstLineCase{"crlf", "1CClientBankExchange\r\nКонецФайла", true},
                      FirstLineCase{"empty", "", false}, FirstLineCase{"empty_first_line", "\n1CClientBankExchange", false},
                      FirstLineCase{"trailing_cr_without_lf", "1CClientBankExchange\r", false},
                      FirstLineCase{"two_crs", "1CClientBankExchange\r\r\n", false},
                      FirstLineCase{"cr_only_line_ends", "1CClientBankExchange\rКонецФайла\r", false},
                      FirstLineCase{"leading_space", " 1CClientBankExchange\n", false},
                      FirstLineCase{"trailing_space", "1CClientBankExchange \n", false},
                      FirstLineCase{"other_case", "1cClientBankExchange\n", false},
                      FirstLineCase{"byte_order_mark", "\xEF\xBB\xBF" "1CClientBankExchange\n", false}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the whole preparation: decode, first line, classification ---------------------------------------------

enum class Outcome { Utf8, Cp1251, NotStatement, UnrecognizedLine };

Outcome prepare(const std::string& input) {
  auto decoded = decode_input(input);
  if (!decoded) return Outcome::NotStatement;
  const std::string_view text = decoded.value().text();
  if (!check_first_line(text)) return Outcome::NotStatement;
  auto lines = classify_lines(text);
  if (!lines) {
    const auto* syntax = std::get_if<SyntaxDetail>(&lines.error());
    return syntax && std::holds_alternative<UnrecognizedLine>(*syntax) ? Outcome::UnrecognizedLine
                                                                        : Outcome::NotStatement;
  }
  return decoded.value().encoding() == Encoding::Utf8 ? Outcome::Utf8 : Outcome::Cp1251;
}

struct PrepareCase {
  const char* name;
  std::string input;
  Outcome outcome;
};

std::string replace_all(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  std::size_t pos = 0;
  for (std::size_t hit; (hit = text.find(from, pos)) != std::string_view::npos; pos = hit + from.size()) {
    out.append(text.substr(pos, hit - pos)).append(to);
  }
  return out.append(text.substr(pos));
}

std::vector<PrepareCase> prepare_cases() {
  const std::string ascii = "1CClientBankExchange\nA=B\nKonec\n";
  return {
      {"empty", "", Outcome::NotStatement},
      {"utf8_wrong_first_line", "1CClientBankExchange2\r\n" + kStatement, Outcome::NotStatement},
      {"utf8_with_byte_order_mark", "\xEF\xBB\xBF"s + kStatement, Outcome::NotStatement},
      {"utf8", kStatement, Outcome::Utf8},
      {"utf8_lf_only", replace_all(kStatement, "\r\n", "\n"), Outcome::Utf8},
      {"cr_only_line_ends", replace_all(kStatement, "\r\n", "\r"), Outcome::NotStatement},
      {"ascii_only_is_utf8", "1CClientBankExchange\r\nA=B\r\nКонецФайла\r\n", Outcome::Utf8},
      {"ascii_unrecognized", ascii, Outcome::UnrecognizedLine},
      {"cp1251", to_cp1251(kStatement), Outcome::Cp1251},
      {"cp1251_wrong_first_line", to_cp1251("Выписка\r\n" + kStatement), Outcome::NotStatement},
      {"cp1251_implausible", to_cp1251(kStatement) + std::string(200, '\x02'), Outcome::NotStatement},
      {"cp1251_after_utf8_bom", "\xEF\xBB\xBF"s + to_cp1251(kStatement), Outcome::NotStatement},
      {"cp1251_unrecognized", to_cp1251(kStatement + "Мусор\r\n"), Outcome::UnrecognizedLine},
      {"utf16le_with_bom", to_utf16(kStatement, false, true), Outcome::Cp1251},
      {"utf16be_with_bom", to_utf16(kStatement, true, true), Outcome::Cp1251},
      {"utf16le_without_bom", to_utf16(kStatement, false, false), Outcome::NotStatement},
      {"utf16be_without_bom", to_utf16(kStatement, true, false), Outcome::NotStatement},
      {"last_line_with_cr_only", kStatement + "КонецФайла\r", Outcome::UnrecognizedLine},
  };
}

class PrepareTest : public ::testing::TestWithParam<PrepareCase> {};

TEST_P(PrepareTest, ReachesTheExpectedOutcome) { EXPECT_EQ(prepare(GetParam().input), GetParam().outcome); }

INSTANTIATE_TEST_SUITE_P(FailureTable, PrepareTest, ::testing::ValuesIn(prepare_cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Prepare, NotStatementMessage) {
  auto decoded = decode_input("");
  ASSERT_TRUE(decoded.ok());
  auto status = check_first_line(decoded.value().text());
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(message(status.error()), "Input is not a 1C statement");
}

}  // namespace
}  // namespace quorlane

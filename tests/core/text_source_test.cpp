// The text source: which encoding a statement is read in, its plausibility, and its text in pieces.
#include "text/decoders.h"
#include "quorlane/text_source.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "test_support.h"

namespace quorlane {
namespace {

using namespace std::string_literals;
using testing::Points;
using testing::replaced;
using testing::to_cp1251;
using testing::to_cp866;
using testing::to_utf16;

const std::string kStatement =
    "1CClientBankExchange\r\nВерсияФормата=1.03\r\nСекцияРасчСчет\r\nРасчСчет=40702810000000000001\r\n"
    "КонецРасчСчет\r\nСекцияДокумент=Платежное поручение\r\nНомер=1\r\nНазначениеПлатежа=Оплата № 5, "
    "ёлки и Ёжики\r\nКонецДокумента\r\nКонецФайла\r\n";

// The pieces of a source, joined; or the error that stopped them.
Result<std::string, StatementError> text_of(TextSource& source) {
  std::string text;
  for (;;) {
    auto piece = source.next_piece();
    if (!piece) return Err(std::move(piece).error());
    if (piece.value().empty()) return text;
    EXPECT_TRUE(source.text_encoding() == Encoding::Cp1251 || is_valid_utf8(piece.value()));
    text += piece.value();
  }
}

// ---- UTF-8 validation -------------------------------------------------------------------------------------

struct Utf8Case {
  const char* name;
  std::string bytes;
  bool valid;
};

// GoogleTest shows a case by its name.
void PrintTo(const Utf8Case& c, std::ostream* os) { *os << c.name; }

class Utf8ValidationTest : public ::testing::TestWithParam<Utf8Case> {};

// Each sequence at every offset around the 32- and 64-byte block edges, after ASCII or two-byte characters,
// at the very end or followed by more text: both validators see it split across blocks, in the padded tail
// and in the middle of a block.
TEST_P(Utf8ValidationTest, ValidatorsAgreeAtEveryPosition) {
  const Utf8Case& c = GetParam();
  for (const std::string& filler : {"a"s, "\xD0\x96"s}) {
    for (std::size_t prefix = 0; prefix <= 70; ++prefix) {
      for (const std::string& suffix : {""s, "z"s, std::string(40, 'z')}) {
        std::string input;
        while (input.size() + filler.size() <= prefix) input += filler;
        input += c.bytes + suffix;
        const std::size_t at = input.size() - c.bytes.size() - suffix.size();
        EXPECT_EQ(detail::portable_kernels().is_valid_utf8(input), c.valid) << "at " << at;
        EXPECT_EQ(detail::active_kernels().is_valid_utf8(input), c.valid) << "at " << at;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, Utf8ValidationTest,
    ::testing::Values(
        Utf8Case{"empty", "", true}, Utf8Case{"cyrillic", "\xD0\x90\xD1\x8F", true},
        Utf8Case{"two_byte_min", "\xC2\x80", true}, Utf8Case{"overlong_c0", "\xC0\x80", false},
        Utf8Case{"overlong_c1", "\xC1\xBF", false}, Utf8Case{"three_byte_min", "\xE0\xA0\x80", true},
        Utf8Case{"overlong_e0_9f", "\xE0\x9F\xBF", false}, Utf8Case{"before_surrogates", "\xED\x9F\xBF", true},
        Utf8Case{"surrogate_low_end", "\xED\xA0\x80", false}, Utf8Case{"surrogate_high_end", "\xED\xBF\xBF", false},
        Utf8Case{"after_surrogates", "\xEE\x80\x80", true}, Utf8Case{"u_ffff", "\xEF\xBF\xBF", true},
        Utf8Case{"four_byte_min", "\xF0\x90\x80\x80", true}, Utf8Case{"overlong_f0_8f", "\xF0\x8F\xBF\xBF", false},
        Utf8Case{"max_scalar", "\xF4\x8F\xBF\xBF", true}, Utf8Case{"above_max_f4_90", "\xF4\x90\x80\x80", false},
        Utf8Case{"above_max_f5", "\xF5\x80\x80\x80", false}, Utf8Case{"byte_ff", "\xFF", false},
        Utf8Case{"lone_continuation", "\x80", false}, Utf8Case{"extra_continuation", "\xD0\x90\x80", false},
        Utf8Case{"truncated_two", "\xD0", false}, Utf8Case{"truncated_four", "\xF0\x9F\x98", false},
        Utf8Case{"lead_then_ascii", "\xD0" "A", false}, Utf8Case{"lead_then_lead", "\xD0\xD0\x90", false},
        Utf8Case{"four_missing_last", "\xF0\x9F\x98" "A", false},
        Utf8Case{"cp1251_text", "\xCF\xF0\xE8\xE2\xE5\xF2", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Utf8Validation, ValidatorsAgreeOnDamagedText) {
  std::string base;
  for (int i = 0; i < 8; ++i) base += kStatement + "€𝄞";
  std::mt19937 rng(12345);
  int invalid = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string input = base.substr(0, rng() % base.size());
    for (int e = static_cast<int>(rng() % 3); e > 0 && !input.empty(); --e) {
      input[rng() % input.size()] = static_cast<char>(rng() & 0xFF);
    }
    const bool scalar = detail::portable_kernels().is_valid_utf8(input);
    invalid += !scalar;
    ASSERT_EQ(detail::active_kernels().is_valid_utf8(input), scalar) << "round " << round;
  }
  EXPECT_GT(invalid, 1000);  // the damage must actually produce invalid inputs
}

// ---- choosing the encoding --------------------------------------------------------------------------------

struct OpenCase {
  const char* name;
  std::string input;
  bool ok;
  Encoding text_encoding = Encoding::Utf8;  // when ok; the reported encoding is cp1251 unless the input is UTF-8
  std::string text = "";                    // the pieces joined, when ok
  bool package = false;                     // read as the package reads: the mark skipped, a declared DOS taken
  Encoding encoding = Encoding::Utf8;       // reported, for the package's reading
};

std::vector<OpenCase> open_cases() {
  std::string lone_high = to_utf16(kStatement, false, true) + "\x00\xD8" "A\x00"s;  // high surrogate, then "A"
  std::string lone_low = to_utf16(kStatement, true, true) + "\xDC\x00"s;
  const std::string cp1251 = to_cp1251(kStatement);
  const std::string dos = replaced(kStatement, "ВерсияФормата=1.03\r\n", "ВерсияФормата=1.03\r\nКодировка=DOS\r\n");
  const Encoding utf8 = Encoding::Utf8;
  return {
      // The package's reading: after a UTF-8 mark UTF-8 or nothing; cp866 where the header declares it in cp866.
      {"package_utf8_bom", "\xEF\xBB\xBF"s + kStatement, true, utf8, kStatement, true, utf8},
      {"package_utf8_bom_then_cp1251", "\xEF\xBB\xBF"s + cp1251, false, utf8, "", true},
      {"package_utf8_bom_only", "\xEF\xBB\xBF", true, utf8, "", true, utf8},
      {"package_declared_dos", to_cp866(dos), true, utf8, dos, true, Encoding::Cp866},
      {"package_dos_in_cp1251", to_cp1251(dos), true, Encoding::Cp1251, to_cp1251(dos), true, Encoding::Cp1251},
      // Undeclared cp866 is windows-1251 to both readings, which its letters from 0xA0 on do not pass for.
      {"package_undeclared_cp866", to_cp866(kStatement), false, utf8, "", true},
      {"package_dos_in_utf8", dos, true, utf8, dos, true, utf8},
      {"utf8_in_place", kStatement, true, Encoding::Utf8, kStatement},
      {"empty_is_utf8", "", true, Encoding::Utf8, ""},
      // The mark stays in the text (and fails the first line check later).
      {"utf8_bom", "\xEF\xBB\xBF"s + kStatement, true, Encoding::Utf8, "\xEF\xBB\xBF"s + kStatement},
      {"cp1251_in_place", cp1251, true, Encoding::Cp1251, cp1251},
      {"utf16le_bom", to_utf16(kStatement, false, true), true, Encoding::Utf8, kStatement},
      {"utf16be_bom", to_utf16(kStatement + "𝄞", true, true), true, Encoding::Utf8, kStatement + "𝄞"},
      {"utf16le_lone_high_surrogate", lone_high, false},
      {"utf16be_lone_low_surrogate", lone_low, false},
      {"utf16_odd_length", to_utf16(kStatement, false, true) + "A", false},
      {"utf16_bom_only", "\xFF\xFE", false},
      // Not valid UTF-8, so the mark selects a UTF-8 decoder that must fail on the windows-1251 bytes.
      {"utf8_bom_then_cp1251", "\xEF\xBB\xBF"s + cp1251, false},
      // Two bytes are too short for the UTF-8 mark: read as windows-1251 "п»", half implausible.
      {"two_bytes_of_utf8_bom", "\xEF\xBB", false},
      // Without its mark, UTF-16 of ASCII and Cyrillic letters is valid UTF-8 (whose first line is wrong).
      {"utf16_without_bom", to_utf16(kStatement, false, false), true, Encoding::Utf8, to_utf16(kStatement, false, false)},
      {"latin1_range_only", to_utf16(std::string(10, 'a') + "ϿϿ", false, true), false},
      {"just_above_latin1_range", to_utf16(std::string(10, 'a') + "ЀЀ", false, true), true, Encoding::Utf8,
       std::string(10, 'a') + "ЀЀ"},
  };
}

void PrintTo(const OpenCase& c, std::ostream* os) { *os << c.name; }

class OpenBytesTest : public ::testing::TestWithParam<OpenCase> {};

// With small pieces, bytes that are UTF-8 only at their start are taken as UTF-8 until a piece says they are
// not; they are then opened again as not UTF-8, as a reading does.
TEST_P(OpenBytesTest, ChoosesTheDecoderOrRejects) {
  const OpenCase& c = GetParam();
  for (std::size_t piece : {std::size_t{1}, std::size_t{64} << 10}) {
    const ReadOptions options{piece, c.package, c.package};
    auto source = TextSource::of_bytes(c.input, options);
    auto text = source ? text_of(source.value()) : Result<std::string, StatementError>(Err(source.error()));
    if (!text && std::holds_alternative<NotUtf8>(text.error())) {
      source = TextSource::of_bytes(c.input, options, Utf8Verdict::Invalid);
      text = source ? text_of(source.value()) : Result<std::string, StatementError>(Err(source.error()));
    }
    ASSERT_EQ(text.ok(), c.ok) << "piece " << piece;
    if (!c.ok) {
      EXPECT_TRUE(std::holds_alternative<NotStatement>(text.error()));
      continue;
    }
    const Encoding encoding = c.package ? c.encoding : is_valid_utf8(c.input) ? Encoding::Utf8 : Encoding::Cp1251;
    EXPECT_EQ(source.value().encoding(), encoding);
    EXPECT_EQ(source.value().text_encoding(), c.text_encoding);
    EXPECT_EQ(text.value(), c.text);
  }
}

INSTANTIATE_TEST_SUITE_P(Inputs, OpenBytesTest, ::testing::ValuesIn(open_cases()),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- plausibility -----------------------------------------------------------------------------------------

// A windows-1251 input of `plausible` Cyrillic letters and `implausible` control characters, in that
// order, followed by `tail` (already windows-1251).
std::string mixed(std::size_t plausible, std::size_t implausible, const std::string& tail = "") {
  return std::string(plausible, '\xC6') + std::string(implausible, '\x01') + tail;  // Ж
}

struct PlausibilityCase {
  const char* name;
  std::string input;
  bool ok;
};

void PrintTo(const PlausibilityCase& c, std::ostream* os) { *os << c.name; }

class PlausibilityTest : public ::testing::TestWithParam<PlausibilityCase> {};

TEST_P(PlausibilityTest, NeedsNinetySixPercentOfTheFirstCharacters) {
  EXPECT_EQ(TextSource::of_bytes(GetParam().input, {}).ok(), GetParam().ok);
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, PlausibilityTest,
    ::testing::Values(
        PlausibilityCase{"96_percent", mixed(96, 4), true}, PlausibilityCase{"95_percent", mixed(95, 5), false},
        PlausibilityCase{"95_9_percent", mixed(959, 41), false}, PlausibilityCase{"96_0_percent", mixed(960, 40), true},
        // Only the first 20480 characters count.
        PlausibilityCase{"limit_96_then_controls", mixed(19661, 819, std::string(50000, '\x01')), true},
        PlausibilityCase{"limit_95_then_letters", mixed(19660, 820, std::string(50000, '\xC6')), false},
        PlausibilityCase{"all_plausible_ascii_classes", "\xC6 \t\r\n\f!/:@[`{~09AZaz", true},
        PlausibilityCase{"delete_is_implausible", "\xC6\x7F", false},
        PlausibilityCase{"vertical_tab_is_implausible", "\xC6\x0B", false},
        PlausibilityCase{"nbsp_is_implausible", "\xA0\xC6", false},
        PlausibilityCase{"0x98_is_a_control", "\x98\xC6", false}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- pieces -----------------------------------------------------------------------------------------------

// The reference UTF-8 of one code point; nothing for a surrogate.
bool reference_utf8(char32_t c, std::string& out) {
  if (c >= 0xD800 && c <= 0xDFFF) return false;
  const int extra = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
  static constexpr unsigned char kLead[] = {0x00, 0xC0, 0xE0, 0xF0};
  out += static_cast<char>(kLead[extra] | (c >> (6 * extra)));
  for (int k = extra - 1; k >= 0; --k) out += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
  return true;
}

// Text given as code points of every width, through the vectorised and the plain conversion, in pieces of
// any size (the buffers used again as soon as they are released): the same text as the reference, and
// NotUtf8 where a lone surrogate stands.
TEST(CodePointsSource, MatchesTheReferenceAndRefusesSurrogates) {
  const std::vector<char32_t> alphabet = {'a', '\n', '\n', '=', 0x7F, 0x80, 0xA0, 0xFF, 0x410, 0x44F, 0x451,
                                          0x7FF, 0x800, 0x2116, 0xFFFF, 0x10000, 0x10FFFF, 0xD800, 0xDFFF};
  std::mt19937 random(5);
  int refused = 0;
  for (int round = 0; round < 3000; ++round) {
    const unsigned width = round % 3 == 0 ? 1 : round % 3 == 1 ? 2 : 4;
    const char32_t most = width == 1 ? 0xFF : width == 2 ? 0xFFFF : 0x10FFFF;
    Points points;
    points.width = width;
    std::string expected;
    bool encodable = true;
    const std::size_t size = random() % 60;
    const bool letters_only = round % 4 == 1;  // the vectorised common case
    while (points.count < size) {
      const char32_t c = alphabet[random() % (letters_only ? 10 : alphabet.size())];
      if (c > most || ((c == 0xD800 || c == 0xDFFF) && random() % 4 != 0)) continue;
      points.push(c);
      encodable = reference_utf8(c, expected) && encodable;
    }
    TextSource source = TextSource::of_code_points(points.view(), ReadOptions{1 + random() % 20});
    std::string text;
    for (;;) {
      auto piece = source.next_piece();
      if (!piece) {
        ASSERT_FALSE(encodable) << "round " << round;
        EXPECT_TRUE(std::holds_alternative<NotUtf8>(piece.error()));
        break;
      }
      if (piece.value().empty()) break;
      text += piece.value();
      source.release_before(piece.value().data() + piece.value().size() - 1);
    }
    if (encodable) {
      EXPECT_EQ(text, expected) << "round " << round;
    }
    if (points.width == 2) {  // the two kernel sets make the same text, or both find the lone surrogate
      const auto* units = reinterpret_cast<const std::uint16_t*>(points.bytes.data());
      std::string portable(points.count * 3 + detail::kDecodeSlack, '\0');
      std::string active(portable.size(), '\0');
      char* portable_end = detail::portable_kernels().ucs2_to_utf8(units, points.count, portable.data());
      char* active_end = detail::active_kernels().ucs2_to_utf8(units, points.count, active.data());
      ASSERT_EQ(portable_end == nullptr, active_end == nullptr) << "round " << round;
      if (portable_end != nullptr) {
        EXPECT_EQ(portable.substr(0, static_cast<std::size_t>(portable_end - portable.data())),
                  active.substr(0, static_cast<std::size_t>(active_end - active.data())));
      }
    }
    refused += !encodable;
  }
  EXPECT_GT(refused, 100);
}

// Pieces are whole lines, at least the size asked for (but the last), and join to the input.
TEST(Pieces, AreWholeLinesOfAtLeastTheSizeAsked) {
  const std::string input = kStatement + "последняя строка без конца";
  for (std::size_t size : {1, 7, 30, 1000}) {
    auto source = TextSource::of_bytes(input, ReadOptions{size});
    ASSERT_TRUE(source.ok());
    std::string joined;
    for (auto piece = source.value().next_piece(); piece.ok() && !piece.value().empty();
         piece = source.value().next_piece()) {
      const std::string_view text = piece.value();
      joined += text;
      if (joined.size() < input.size()) {
        EXPECT_GE(text.size(), std::min(size, input.size()));
        EXPECT_EQ(text.back(), '\n');
      }
    }
    EXPECT_EQ(joined, input);
  }
}

// Bytes that are UTF-8 for their first piece are taken as UTF-8; a later piece that is not fails, and so
// does the check of what is left unread.
TEST(Pieces, Utf8ThatStopsBeingUtf8FailsWhereItStops) {
  const std::string ascii = "1CClientBankExchange\r\nVersion=1.03\r\nSender=Bank\r\n";
  const std::string input = ascii + to_cp1251("Ж=Ж\n") + ascii;
  auto source = TextSource::of_bytes(input, ReadOptions{20});
  ASSERT_TRUE(source.ok());
  EXPECT_EQ(source.value().encoding(), Encoding::Utf8);
  auto text = text_of(source.value());
  ASSERT_FALSE(text.ok());
  EXPECT_TRUE(std::holds_alternative<NotUtf8>(text.error()));

  auto unread = TextSource::of_bytes(input, ReadOptions{20});
  ASSERT_TRUE(unread.value().next_piece().ok());
  EXPECT_FALSE(unread.value().check_rest().ok());
  const std::string twice = ascii + ascii;
  auto valid = TextSource::of_bytes(twice, ReadOptions{20});
  ASSERT_TRUE(valid.value().next_piece().ok());
  EXPECT_TRUE(valid.value().check_rest().ok());

  // Opened as not UTF-8, the same bytes are windows-1251.
  auto again = TextSource::of_bytes(input, ReadOptions{20}, Utf8Verdict::Invalid);
  ASSERT_TRUE(again.ok());
  EXPECT_EQ(again.value().encoding(), Encoding::Cp1251);
}

}  // namespace
}  // namespace quorlane

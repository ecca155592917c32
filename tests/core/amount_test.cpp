#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "quorlane/quoted.h"
#include "quorlane/values.h"

namespace quorlane {
namespace {

// 2^96 - 1, and 2^96.
constexpr const char* kMaxMagnitude = "79228162514264337593543950335";
constexpr const char* kTooLarge = "79228162514264337593543950336";

std::string amount_message(const std::string& quoted_value) {
  return "invalid value: string " + quoted_value + ", expected a Decimal type representing a fixed-point number";
}

struct AcceptedAmount {
  std::string text;
  std::string formatted;  // sign, digits and scale, which together make the Amount
};

// GoogleTest shows a case by its text, in the quoted form.
void PrintTo(const AcceptedAmount& c, std::ostream* os) { *os << quoted(c.text); }

class AcceptedAmountTest : public ::testing::TestWithParam<AcceptedAmount> {};

TEST_P(AcceptedAmountTest, ReadsSignMagnitudeAndScale) {
  SCOPED_TRACE(GetParam().text);
  const auto amount = read_amount(GetParam().text);
  ASSERT_TRUE(amount.ok()) << amount.error();
  EXPECT_EQ(format_amount(amount.value()), GetParam().formatted);
}

INSTANTIATE_TEST_SUITE_P(
    PlainForm, AcceptedAmountTest,
    ::testing::Values(AcceptedAmount{"100", "100"}, AcceptedAmount{"100.00", "100.00"},
                      AcceptedAmount{"+100.00", "100.00"}, AcceptedAmount{"-0.5", "-0.5"},
                      AcceptedAmount{".5", "0.5"}, AcceptedAmount{"5.", "5"}, AcceptedAmount{"-.50", "-0.50"},
                      AcceptedAmount{"1_000", "1000"}, AcceptedAmount{"1_000.00", "1000.00"},
                      AcceptedAmount{"1_.5_0_", "1.50"}, AcceptedAmount{"0._5", "0.5"},
                      AcceptedAmount{"-0.00", "-0.00"}, AcceptedAmount{"007", "7"},
                      AcceptedAmount{"0000000000000000000000000000000000000001", "1"},
                      AcceptedAmount{kMaxMagnitude, kMaxMagnitude},
                      AcceptedAmount{"-7922816251426433759354395033.5", "-7922816251426433759354395033.5"},
                      AcceptedAmount{"0.0000000000000000000000000001", "0.0000000000000000000000000001"},
                      AcceptedAmount{"1.0000000000000000000000000000", "1.0000000000000000000000000000"}));

INSTANTIATE_TEST_SUITE_P(
    ExponentForm, AcceptedAmountTest,
    ::testing::Values(AcceptedAmount{"1e2", "100"}, AcceptedAmount{"1.5E-3", "0.0015"},
                      AcceptedAmount{"1.50e1", "15.0"}, AcceptedAmount{"1.5e1", "15"},
                      AcceptedAmount{"1.5e3", "1500"}, AcceptedAmount{"2e3", "2000"},
                      AcceptedAmount{"1.50e3", "1500"}, AcceptedAmount{"1e+5", "100000"},
                      AcceptedAmount{"1.5e0", "1.5"}, AcceptedAmount{"1e-0", "1"}, AcceptedAmount{"-2E-2", "-0.02"},
                      AcceptedAmount{"1_0.0_0e1", "100.0"}));

// A zero moved left by a positive exponent loses its sign and scale; other zeros keep both.
INSTANTIATE_TEST_SUITE_P(
    ExponentZeros, AcceptedAmountTest,
    ::testing::Values(AcceptedAmount{"-0.0e5", "0"}, AcceptedAmount{"-0e0", "-0"}, AcceptedAmount{"-0.00e1", "-0.0"},
                      AcceptedAmount{"0e-3", "0.000"}, AcceptedAmount{"1e0000000000000000002", "100"}));

INSTANTIATE_TEST_SUITE_P(
    ExponentLimits, AcceptedAmountTest,
    ::testing::Values(AcceptedAmount{"1e28", "10000000000000000000000000000"},
                      AcceptedAmount{"1e-28", "0.0000000000000000000000000001"},
                      AcceptedAmount{"0.0000000000000000000000000001e28", "1"},
                      AcceptedAmount{"1.5e-27", "0.0000000000000000000000000015"},
                      AcceptedAmount{"7922816251426433759354395033.5e1", kMaxMagnitude}));

class RefusedAmountTest : public ::testing::TestWithParam<std::string> {};

TEST_P(RefusedAmountTest, FailsWithTheValueQuotedInTheMessage) {
  SCOPED_TRACE(GetParam());
  const auto amount = read_amount(GetParam());
  ASSERT_FALSE(amount.ok()) << format_amount(amount.value());
  EXPECT_EQ(amount.error(), amount_message(quorlane::quoted(GetParam())));
}

INSTANTIATE_TEST_SUITE_P(
    PlainForm, RefusedAmountTest,
    ::testing::Values("", " ", "-", "+", ".", "-.", "100,00", "1 000", " 100.00", "100.00 ", "1.2.3", "--1", "+-1",
                      "_1", "-_1", "._5", "1$", "\u00a0100", "١٠٠" /* Arabic-Indic digits */, kTooLarge,
                      "79228162514264337593543950335.0",  // the 96 bits are counted over all digits
                      "0.00000000000000000000000000001", "1.00000000000000000000000000000"));

INSTANTIATE_TEST_SUITE_P(
    ExponentForm, RefusedAmountTest,
    ::testing::Values("1e", "e5", "E", "1e+", "1e-", "1e+-5", "1e 5", "1e5 ", "1e_5", "1e5_", "1e5e", "1ee5",
                      "1e1.5", "._e5", "1,5e2",
                      "1e29",               // above the scale and above 28
                      "1.5e29",             // likewise, though the scale is 1
                      "1e4294967296",       // beyond 32 bits
                      "1e-4294967296", "1e4294967295", "1e-4294967295",
                      "1e-29",              // scale 29
                      "1.5e-28",            // scale 1 + 28
                      "7922816251426433759354395033.6e1",  // 2^96 once shifted
                      "79228162514264337593543950335e1",
                      "8e28"));             // 8 * 10^28 > 2^96 - 1

TEST(AmountMessageTest, QuotesTheValueExactly) {
  const struct {
    std::string value;
    std::string quoted;
  } cases[] = {
      {"12,50", "\"12,50\""},           {"", "\"\""},
      {" 100.00 ", "\" 100.00 \""},     {"-", "\"-\""},
      {"a\"b\\c", "\"a\\\"b\\\\c\""},  {"1\t2", "\"1\\t2\""},
      {"\u00a0100", "\"\\u{a0}100\""}, {"сто", "\"сто\""},
  };
  for (const auto& c : cases) {
    const auto amount = read_amount(c.value);
    ASSERT_FALSE(amount.ok()) << c.value;
    EXPECT_EQ(amount.error(), amount_message(c.quoted));
  }
}

TEST(SameValueTest, ComparesNumbersNotSpellings) {
  const auto read = [](const char* text) {
    auto amount = read_amount(text);
    EXPECT_TRUE(amount.ok()) << text;
    return amount.ok() ? amount.value() : Amount{};
  };
  const struct {
    const char* a;
    const char* b;
    bool same;
  } cases[] = {
      {"5.10", "5.1", true},
      {"5.1", "5.10", true},
      {"-0", "0", true},
      {"-0.00", "0", true},
      {"0", "0.000", true},
      {"100", "1e2", true},
      {"100", "100.0000000000000000000000000", true},
      {"5.1", "5.11", false},
      {"5.1", "-5.1", false},
      {"1", "0.0000000000000000000000000001", false},
      {"10", "1", false},
      {"0.10", "0.01", false},
      {"1", "1.0000000000000000000000000001", false},
      {kMaxMagnitude, "7922816251426433759354395033.5", false},
      {"79228162514264337593543950.330", "79228162514264337593543950.33", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(same_value(read(c.a), read(c.b)), c.same) << c.a << " vs " << c.b;
    EXPECT_EQ(same_value(read(c.b), read(c.a)), c.same) << c.b << " vs " << c.a;
  }
  EXPECT_FALSE(read("5.10") == read("5.1"));  // equal value, different Amounts
  EXPECT_TRUE(read("-0.5") == read("-.5"));
}

// An amount as a fixed-point column holds it: exact, in two's complement, or refused when that would change its
// value or take more than 38 digits.
TEST(ScaledAmountTest, RescalesExactlyOrRefuses) {
  const auto read = [](const char* text) { return read_amount(text).value(); };
  struct Case {
    const char* amount;
    unsigned scale;
    std::optional<ScaledAmount> expected;
  } cases[] = {
      {"12.34", 2, ScaledAmount{1234, 0}},
      {"12.3", 2, ScaledAmount{1230, 0}},
      {"1.230", 2, ScaledAmount{123, 0}},  // a zero past the scale goes
      {"1.235", 2, std::nullopt},          // a digit past it would be lost
      {"-0.05", 2, ScaledAmount{0xfffffffffffffffbu, 0xffffffffffffffffu}},
      {"-0.00", 2, ScaledAmount{0, 0}},
      {"1E-28", 28, ScaledAmount{1, 0}},
      {kMaxMagnitude, 9, ScaledAmount{0xffffffffc4653600u, 0x3b9ac9ffffffffffu}},
      {"-79228162514264337593543950335", 9, ScaledAmount{0x3b9aca00u, 0xc465360000000000u}},
      {kMaxMagnitude, 10, std::nullopt},  // 39 digits
      {"999999999999999999.9999999999", 20, ScaledAmount{0x98a223dabf41c00u, 0x4b3b4ca85a86c47au}},  // 38 digits
      {"1", 38, std::nullopt},  // 10^38
      {"0", 38, ScaledAmount{0, 0}},
  };
  for (const Case& c : cases) {
    const std::optional<ScaledAmount> scaled = scaled_amount(read(c.amount), c.scale);
    ASSERT_EQ(scaled.has_value(), c.expected.has_value()) << c.amount << " at " << c.scale;
    if (scaled) {
      EXPECT_EQ(scaled->low, c.expected->low) << c.amount << " at " << c.scale;
      EXPECT_EQ(scaled->high, c.expected->high) << c.amount << " at " << c.scale;
    }
  }
}

}  // namespace
}  // namespace quorlane

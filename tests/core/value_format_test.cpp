#include <gtest/gtest.h>

#include <string>

#include "quorlane/values.h"

namespace quorlane {
namespace {

TEST(FormatDateTest, WritesIsoDatesWithSignedYearsOutsideFourDigits) {
  const struct {
    Date date;
    const char* text;
  } cases[] = {
      {{2024, 3, 7}, "2024-03-07"},          {{1, 1, 1}, "0001-01-01"},
      {{0, 12, 31}, "0000-12-31"},           {{9999, 12, 31}, "9999-12-31"},
      {{10000, 1, 1}, "+10000-01-01"},       {{-1, 1, 1}, "-0001-01-01"},
      {{-12345, 6, 15}, "-12345-06-15"},     {{2147483647, 12, 31}, "+2147483647-12-31"},
      {{-2147483647 - 1, 1, 1}, "-2147483648-01-01"},
  };
  for (const auto& c : cases) EXPECT_EQ(format_date(c.date), c.text);
}

// Whatever the spelling read, the date is written in the one ISO form.
TEST(FormatDateTest, RoundTripsThroughTheReader) {
  const struct {
    const char* read;
    const char* written;
  } cases[] = {
      {"7.3.2024", "2024-03-07"},        {"07. 03. 24", "0024-03-07"},       {"29.02.-4", "-0004-02-29"},
      {"01.01.+10000", "+10000-01-01"},  {"31.12.-0", "0000-12-31"},          {"01.01.+09999", "9999-01-01"},
  };
  for (const auto& c : cases) {
    const auto date = read_date(c.read);
    ASSERT_TRUE(date.ok()) << c.read << ": " << date.error();
    EXPECT_EQ(format_date(date.value()), c.written);
  }
}

TEST(FormatAmountTest, WritesPlainDecimalsKeepingTheScale) {
  const auto amount = [](std::uint64_t low, std::uint32_t high, std::uint8_t scale, bool negative) {
    Amount a;
    a.low = low;
    a.high = high;
    a.scale = scale;
    a.negative = negative;
    return a;
  };
  const struct {
    Amount amount;
    const char* text;
  } cases[] = {
      {amount(0, 0, 0, false), "0"},
      {amount(0, 0, 2, false), "0.00"},
      {amount(0, 0, 2, true), "-0.00"},
      {amount(5, 0, 2, false), "0.05"},
      {amount(1230, 0, 2, true), "-12.30"},
      {amount(150050, 0, 2, false), "1500.50"},
      {amount(1500, 0, 0, false), "1500"},
      {amount(1, 0, 28, false), "0.0000000000000000000000000001"},
      {amount(UINT64_MAX, 0, 0, false), "18446744073709551615"},
      {amount(0, 1, 0, false), "18446744073709551616"},  // 2^64: the first magnitude needing the high word
      {amount(UINT64_MAX, UINT32_MAX, 0, true), "-79228162514264337593543950335"},
      {amount(UINT64_MAX, UINT32_MAX, 28, false), "7.9228162514264337593543950335"},
      // 10^19 exactly, where the two halves of the digit split meet.
      {amount(10'000'000'000'000'000'000ULL, 0, 19, false), "1.0000000000000000000"},
      {amount(0, 1, 20, false), "0.18446744073709551616"},
  };
  for (const auto& c : cases) EXPECT_EQ(format_amount(c.amount), c.text);
}

TEST(FormatAmountTest, RoundTripsThroughTheReader) {
  for (const char* text : {"0", "-0", "0.00", "-0.00", "12.30", "-12.30", "1500", "0.05", "100.0000000000",
                           "79228162514264337593543950335", "-7.9228162514264337593543950335",
                           "0.0000000000000000000000000001", "18446744073709551616.5"}) {
    const auto amount = read_amount(text);
    ASSERT_TRUE(amount.ok()) << text;
    EXPECT_EQ(format_amount(amount.value()), text);
    const auto again = read_amount(format_amount(amount.value()));
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.value(), amount.value());
  }
}

}  // namespace
}  // namespace quorlane

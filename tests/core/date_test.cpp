#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "quorlane/values.h"
#include "quorlane/quoted.h"

namespace quorlane {
namespace {

constexpr const char* kInvalid = "input contains invalid characters";
constexpr const char* kPremature = "premature end of input";
constexpr const char* kTrailing = "trailing input";
constexpr const char* kOutOfRange = "input is out of range";
constexpr const char* kEmpty = "empty string is not a valid date";

struct AcceptedDate {
  std::string text;
  Date expected;
};

// GoogleTest shows a case by its text, in the quoted form.
void PrintTo(const AcceptedDate& c, std::ostream* os) { *os << quoted(c.text); }

class AcceptedDateTest : public ::testing::TestWithParam<AcceptedDate> {};

TEST_P(AcceptedDateTest, ReadsTheCalendarDate) {
  SCOPED_TRACE(GetParam().text);
  const auto required = read_date(GetParam().text);
  ASSERT_TRUE(required.ok()) << required.error();
  EXPECT_EQ(required.value(), GetParam().expected);
  const auto optional = read_optional_date(GetParam().text);
  ASSERT_TRUE(optional.ok()) << optional.error();
  EXPECT_EQ(optional.value(), std::optional<Date>(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Spellings, AcceptedDateTest,
    ::testing::Values(AcceptedDate{"07.03.2024", {2024, 3, 7}}, AcceptedDate{"7.3.2024", {2024, 3, 7}},
                      AcceptedDate{"07. 03. 2024", {2024, 3, 7}}, AcceptedDate{" \t07.03.2024", {2024, 3, 7}},
                      AcceptedDate{"07.03.24", {24, 3, 7}}, AcceptedDate{"1.1.1", {1, 1, 1}},
                      AcceptedDate{"31.12.9999", {9999, 12, 31}}, AcceptedDate{"01.01.0", {0, 1, 1}},
                      AcceptedDate{"01.01.+10000", {10000, 1, 1}}, AcceptedDate{"01.01.-1", {-1, 1, 1}},
                      AcceptedDate{"01.01.-0", {0, 1, 1}}, AcceptedDate{"01.01.+00002024", {2024, 1, 1}},
                      AcceptedDate{"31.12.+2147483647", {2147483647, 12, 31}},
                      AcceptedDate{"01.01.-2147483648", {-2147483647 - 1, 1, 1}},
                      // Unicode White_Space before each number: no-break space, ideographic space, U+2028.
                      AcceptedDate{"\u00a007.\u300003.\u20282024", {2024, 3, 7}},
                      AcceptedDate{"\u3000\u00a07.3.2024", {2024, 3, 7}}));

INSTANTIATE_TEST_SUITE_P(
    LeapYears, AcceptedDateTest,
    ::testing::Values(AcceptedDate{"29.02.2024", {2024, 2, 29}}, AcceptedDate{"29.02.2000", {2000, 2, 29}},
                      AcceptedDate{"29.02.0", {0, 2, 29}}, AcceptedDate{"29.02.-4", {-4, 2, 29}},
                      AcceptedDate{"29.02.-400", {-400, 2, 29}}, AcceptedDate{"28.02.1900", {1900, 2, 28}},
                      AcceptedDate{"30.04.2024", {2024, 4, 30}}, AcceptedDate{"31.01.2024", {2024, 1, 31}}));

struct RefusedDate {
  std::string text;
  std::string message;
};

void PrintTo(const RefusedDate& c, std::ostream* os) { *os << quoted(c.text); }

class RefusedDateTest : public ::testing::TestWithParam<RefusedDate> {};

TEST_P(RefusedDateTest, ReportsTheFirstFaultFromTheLeft) {
  SCOPED_TRACE(GetParam().text);
  const auto required = read_date(GetParam().text);
  ASSERT_FALSE(required.ok());
  EXPECT_EQ(required.error(), GetParam().message);
  const auto optional = read_optional_date(GetParam().text);
  ASSERT_FALSE(optional.ok());
  EXPECT_EQ(optional.error(), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    NonexistentDates, RefusedDateTest,
    ::testing::Values(RefusedDate{"29.02.2023", kOutOfRange}, RefusedDate{"29.02.1900", kOutOfRange},
                      RefusedDate{"29.02.-100", kOutOfRange}, RefusedDate{"29.02.-1", kOutOfRange},
                      RefusedDate{"30.02.2024", kOutOfRange}, RefusedDate{"31.04.2024", kOutOfRange},
                      RefusedDate{"00.01.2024", kOutOfRange}, RefusedDate{"32.01.2024", kOutOfRange},
                      RefusedDate{"01.00.2024", kOutOfRange}, RefusedDate{"01.13.2024", kOutOfRange},
                      RefusedDate{"01.01.+2147483648", kOutOfRange}, RefusedDate{"01.01.-2147483649", kOutOfRange},
                      RefusedDate{"01.01.+99999999999999999999999999", kOutOfRange}));

INSTANTIATE_TEST_SUITE_P(
    MalformedSpellings, RefusedDateTest,
    ::testing::Values(RefusedDate{"07-03-2024", kInvalid}, RefusedDate{"123.01.2024", kInvalid},
                      RefusedDate{"07 .03.2024", kInvalid}, RefusedDate{"07\u00a0.03.2024", kInvalid},
                      RefusedDate{"+7.03.2024", kInvalid}, RefusedDate{"07.03.x", kInvalid},
                      RefusedDate{"07.03.-x", kInvalid}, RefusedDate{"07.03.- 2024", kInvalid},
                      RefusedDate{"\uff107.03.2024", kInvalid},  // a fullwidth digit is not an ASCII digit
                      RefusedDate{"07", kPremature}, RefusedDate{"07.", kPremature}, RefusedDate{"07.03", kPremature},
                      RefusedDate{"07.03.", kPremature}, RefusedDate{"07.03. ", kPremature},
                      RefusedDate{"07.03.-", kPremature}, RefusedDate{"07.03.+", kPremature},
                      RefusedDate{"07.03.2024 ", kTrailing}, RefusedDate{"07.03.2024\u00a0", kTrailing},
                      RefusedDate{"07.03.20245", kTrailing}, RefusedDate{"07.03.2024.", kTrailing},
                      RefusedDate{std::string("07.03.2024\0", 11), kTrailing}));

// A fault in an earlier field wins over a later one; the date's existence is checked last of all.
INSTANTIATE_TEST_SUITE_P(
    OrderOfFaults, RefusedDateTest,
    ::testing::Values(RefusedDate{"32.01.2024 ", kOutOfRange}, RefusedDate{"30.02.2024 ", kTrailing},
                      RefusedDate{"29.02.2023x", kTrailing}, RefusedDate{"00.13.x", kOutOfRange},
                      RefusedDate{"01.13.x", kOutOfRange}, RefusedDate{"01.01.+2147483648 ", kOutOfRange},
                      RefusedDate{"31.02", kPremature}, RefusedDate{"1x.01.2024", kInvalid}));

TEST(BlankDateTest, RequiredFailsAndOptionalIsAbsent) {
  for (const std::string blank : {"", "   ", "\t\r\n", "\u00a0", "\u3000 \u2029"}) {
    const auto required = read_date(blank);
    ASSERT_FALSE(required.ok()) << blank;
    EXPECT_EQ(required.error(), kEmpty);
    const auto optional = read_optional_date(blank);
    ASSERT_TRUE(optional.ok()) << blank;
    EXPECT_FALSE(optional.value().has_value());
  }
}

// The day count agrees with the standard library's calendar over its whole range, and repeats every 400 years
// (146097 days) out to the ends of the 32-bit years.
TEST(DaysSinceEpochTest, CountsDaysOfTheProlepticCalendar) {
  using namespace std::chrono;
  EXPECT_EQ(days_since_epoch({1970, 1, 1}), 0);
  EXPECT_EQ(days_since_epoch({1969, 12, 31}), -1);
  EXPECT_EQ(days_since_epoch({2024, 2, 29}), 19782);
  for (int y = -32767; y <= 32767; y += 97) {
    for (unsigned m = 1; m <= 12; ++m) {
      for (unsigned d : {1u, 28u}) {
        const auto expected = sys_days(year(y) / month(m) / day(d)).time_since_epoch().count();
        ASSERT_EQ(days_since_epoch({y, static_cast<std::uint8_t>(m), static_cast<std::uint8_t>(d)}), expected)
            << y << "-" << m << "-" << d;
      }
    }
  }
  for (const Date& date : {Date{2147483247, 2, 29}, Date{-2147483648, 3, 1}, Date{-2147483248, 12, 31}}) {
    const Date later{date.year + 400, date.month, date.day};
    EXPECT_EQ(days_since_epoch(later) - days_since_epoch(date), 146097) << date.year;
  }
}

}  // namespace
}  // namespace quorlane

// Reading the value kinds of a statement (dates and amounts) and writing them back as text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "quorlane/result.h"

namespace quorlane {

// A date of the proleptic Gregorian calendar; any 32-bit year, year 0 and negative years included.
struct Date {
  std::int32_t year = 1;
  std::uint8_t month = 1;  // 1..12
  std::uint8_t day = 1;    // valid for the month and year

  friend bool operator==(const Date&, const Date&) = default;
  friend auto operator<=>(const Date&, const Date&) = default;  // chronological
};

// An exact decimal: sign, a magnitude below 2^96 and a scale 0..28 (the fractional digits as read).
// 5.10 and 5.1 are different Amounts of equal value.
struct Amount {
  std::uint64_t low = 0;   // magnitude bits 0..63
  std::uint32_t high = 0;  // magnitude bits 64..95
  std::uint8_t scale = 0;
  bool negative = false;

  // Representation equality: sign, magnitude and scale. Equal exactly when the formatted texts are equal.
  friend bool operator==(const Amount&, const Amount&) = default;
};

// True when both amounts have the same numeric value (5.10 equals 5.1; -0 equals 0).
bool same_value(const Amount& a, const Amount& b) noexcept;

// The days from 1970-01-01 to the date (negative before it): the form columnar formats keep dates in. Any
// 32-bit year gives a result well inside 64 bits.
std::int64_t days_since_epoch(const Date& date) noexcept;

// An amount as a whole number of units of 10^-scale, the form of a fixed-point decimal column: a 128-bit two's
// complement integer, low word first.
struct ScaledAmount {
  std::uint64_t low = 0;
  std::uint64_t high = 0;
};
// The most digits a 128-bit fixed-point decimal holds.
inline constexpr unsigned kMaxScaledDigits = 38;
// The amount at `scale` (at most kMaxScaledDigits), or nothing when that changes its value (a nonzero digit
// past `scale`) or takes more than kMaxScaledDigits digits.
std::optional<ScaledAmount> scaled_amount(const Amount& amount, unsigned scale) noexcept;

// Failure texts are plain messages with no prefix and no line number.
Result<Date, std::string> read_date(std::string_view value);                      // required
Result<std::optional<Date>, std::string> read_optional_date(std::string_view value);  // blank: absent
Result<Amount, std::string> read_amount(std::string_view value);

// YYYY-MM-DD; a year outside 0..9999 gets an explicit sign and at least four digits (+10000-01-01).
std::string format_date(const Date& date);
// The date format_date wrote, or nothing for any other text (no blanks, no other forms).
std::optional<Date> read_iso_date(std::string_view text) noexcept;

// DD.MM.YYYY, the statement's own form, with the year as format_date writes it (07.03.2024, 01.01.+10000):
// what read_date reads back as the same date. put_dotted_date writes at most kMaxDottedDateBytes at `out`
// and returns the end.
inline constexpr std::size_t kMaxDottedDateBytes = 17;
char* put_dotted_date(char* out, const Date& date) noexcept;
std::string format_dotted_date(const Date& date);
// Plain decimal keeping the scale: "-12.30", "100", "0.05".
std::string format_amount(const Amount& amount);

}  // namespace quorlane

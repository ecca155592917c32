// Reading dates written day.month.year ("%d.%m.%Y"), e.g. 07.03.2024, 7.3.2024 or 07. 03. 2024.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "quorlane/unicode.h"
#include "quorlane/values.h"

namespace quorlane {
namespace {

// Why a reading stopped. Kept as a small code so that the message is only built on failure.
enum class Fault : std::uint8_t { None, InvalidCharacters, PrematureEnd, Trailing, OutOfRange };

std::string fault_message(Fault fault) {
  switch (fault) {
    case Fault::InvalidCharacters: return "input contains invalid characters";
    case Fault::PrematureEnd: return "premature end of input";
    case Fault::Trailing: return "trailing input";
    case Fault::OutOfRange: return "input is out of range";
    case Fault::None: break;
  }
  return "input contains invalid characters";  // unreachable: None is never reported
}

bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }

bool is_leap_year(std::int32_t year) noexcept {
  // Proleptic Gregorian with year 0: a remainder of 0 is sign-independent, so negative years work too.
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

unsigned days_in_month(std::int32_t year, unsigned month) noexcept {
  static constexpr unsigned char kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && is_leap_year(year) ? 29 : kDays[month - 1];
}

// The value of the two digits at text[pos], or -1.
int two_digits(std::string_view text, std::size_t pos) noexcept {
  if (!is_digit(text[pos]) || !is_digit(text[pos + 1])) return -1;
  return (text[pos] - '0') * 10 + (text[pos + 1] - '0');
}

// The fields are read left to right; the first fault met is the one reported.
class DateReader {
 public:
  explicit DateReader(std::string_view text) noexcept : text_(text) {}

  Fault read(Date& date) noexcept {
    unsigned day = 0;
    unsigned month = 0;
    std::int32_t year = 0;
    Fault fault = read_day_or_month(31, day);
    if (fault == Fault::None) fault = expect_point();
    if (fault == Fault::None) fault = read_day_or_month(12, month);
    if (fault == Fault::None) fault = expect_point();
    if (fault == Fault::None) fault = read_year(year);
    if (fault != Fault::None) return fault;
    if (pos_ != text_.size()) return Fault::Trailing;
    if (day > days_in_month(year, month)) return Fault::OutOfRange;
    date = Date{year, static_cast<std::uint8_t>(month), static_cast<std::uint8_t>(day)};
    return Fault::None;
  }

 private:
  void skip_white_space() noexcept {
    while (pos_ < text_.size()) {
      const auto byte = static_cast<unsigned char>(text_[pos_]);
      if (byte < 0x80) {
        if (byte != ' ' && (byte < 0x09 || byte > 0x0D)) return;
        ++pos_;
        continue;
      }
      std::size_t next = pos_;
      if (!is_white_space(next_code_point(text_, next))) return;
      pos_ = next;
    }
  }

  // The first character of a number, after any White_Space.
  Fault expect_digit() noexcept {
    skip_white_space();
    if (pos_ == text_.size()) return Fault::PrematureEnd;
    return is_digit(text_[pos_]) ? Fault::None : Fault::InvalidCharacters;
  }

  // One or two digits; a third one is left for the point that must follow.
  Fault read_day_or_month(unsigned max, unsigned& value) noexcept {
    if (Fault fault = expect_digit(); fault != Fault::None) return fault;
    value = static_cast<unsigned>(text_[pos_++] - '0');
    if (pos_ < text_.size() && is_digit(text_[pos_])) value = value * 10 + static_cast<unsigned>(text_[pos_++] - '0');
    return value >= 1 && value <= max ? Fault::None : Fault::OutOfRange;
  }

  // The separator follows the number directly: no White_Space before it.
  Fault expect_point() noexcept {
    if (pos_ == text_.size()) return Fault::PrematureEnd;
    if (text_[pos_] != '.') return Fault::InvalidCharacters;
    ++pos_;
    return Fault::None;
  }

  // Up to four digits, or a sign followed by any number of digits (a year of any 32-bit value).
  Fault read_year(std::int32_t& year) noexcept {
    skip_white_space();
    if (pos_ == text_.size()) return Fault::PrematureEnd;
    const char first = text_[pos_];
    const bool signed_year = first == '-' || first == '+';
    if (signed_year) ++pos_;
    if (pos_ == text_.size()) return Fault::PrematureEnd;
    if (!is_digit(text_[pos_])) return Fault::InvalidCharacters;

    const std::size_t limit = signed_year ? text_.size() : pos_ + 4;
    // Saturates just above the largest magnitude a 32-bit year can have, so that any digit count is safe.
    constexpr std::int64_t kCap = std::int64_t{1} << 32;
    std::int64_t magnitude = 0;
    while (pos_ < text_.size() && pos_ < limit && is_digit(text_[pos_])) {
      magnitude = magnitude * 10 + (text_[pos_++] - '0');
      if (magnitude > kCap) magnitude = kCap;
    }
    const std::int64_t value = first == '-' ? -magnitude : magnitude;
    if (value < INT32_MIN || value > INT32_MAX) return Fault::OutOfRange;
    year = static_cast<std::int32_t>(value);
    return Fault::None;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

// Most values start with a digit: then there is no need to scan the whole text for White_Space.
bool is_blank_value(std::string_view value) noexcept {
  if (value.empty()) return true;
  const auto first = static_cast<unsigned char>(value[0]);
  if (first < 0x80 && first != ' ' && (first < 0x09 || first > 0x0D)) return false;
  return is_blank(value);
}

}  // namespace

Result<Date, std::string> read_date(std::string_view value) {
  if (is_blank_value(value)) return Err(std::string("empty string is not a valid date"));
  Date date;
  if (Fault fault = DateReader(value).read(date); fault != Fault::None) return Err(fault_message(fault));
  return date;
}

Result<std::optional<Date>, std::string> read_optional_date(std::string_view value) {
  if (is_blank_value(value)) return std::optional<Date>();
  Date date;
  if (Fault fault = DateReader(value).read(date); fault != Fault::None) return Err(fault_message(fault));
  return std::optional<Date>(date);
}

std::optional<Date> read_iso_date(std::string_view text) noexcept {
  // "-MM-DD" after a year of four digits, or of a sign and four or more without a needless leading zero.
  if (text.size() < 10) return std::nullopt;
  const std::size_t year_end = text.size() - 6;
  const bool signed_year = text[0] == '-' || text[0] == '+';
  const std::size_t first_digit = signed_year ? 1 : 0;
  const std::size_t digits = year_end - first_digit;
  if (digits < 4 || (!signed_year && digits != 4) || (digits > 4 && text[first_digit] == '0') || digits > 10) {
    return std::nullopt;
  }
  std::int64_t magnitude = 0;
  for (std::size_t i = first_digit; i < year_end; ++i) {
    if (!is_digit(text[i])) return std::nullopt;
    magnitude = magnitude * 10 + (text[i] - '0');
  }
  const std::int64_t year = text[0] == '-' ? -magnitude : magnitude;
  // format_date signs exactly the years outside 0..9999.
  if (year < INT32_MIN || year > INT32_MAX || signed_year != (year < 0 || year > 9999)) return std::nullopt;
  if (text[year_end] != '-' || text[year_end + 3] != '-') return std::nullopt;
  const int month = two_digits(text, year_end + 1);
  const int day = two_digits(text, year_end + 4);
  if (month < 1 || month > 12 || day < 1 || static_cast<unsigned>(day) > days_in_month(static_cast<std::int32_t>(year), month)) {
    return std::nullopt;
  }
  return Date{static_cast<std::int32_t>(year), static_cast<std::uint8_t>(month), static_cast<std::uint8_t>(day)};
}

}  // namespace quorlane

// Writing dates and amounts back as text: 2024-03-07, -0001-01-01, 07.03.2024, 1500.50, -0.05.
#include <cstdint>
#include <string>

#include "quorlane/values.h"
#include "values/magnitude.h"

namespace quorlane {
namespace {

// Writes the decimal digits of value ending just before `end`, at least min_digits of them (zero-padded).
// Returns the position of the first digit.
char* write_digits_backwards(char* end, std::uint64_t value, unsigned min_digits) noexcept {
  unsigned written = 0;
  do {
    *--end = static_cast<char>('0' + value % 10);
    value /= 10;
    ++written;
  } while (value != 0 || written < min_digits);
  return end;
}

// The year as both date forms write it: four digits at least, signed outside 0..9999. Ends just before `end`.
char* write_year_backwards(char* end, std::int32_t year) noexcept {
  const std::int64_t value = year;
  char* begin = write_digits_backwards(end, static_cast<std::uint64_t>(value < 0 ? -value : value), 4);
  if (value < 0) {
    *--begin = '-';
  } else if (value > 9999) {
    *--begin = '+';
  }
  return begin;
}

}  // namespace

std::string format_date(const Date& date) {
  char buffer[24];  // sign, ten year digits, "-MM-DD"
  char* const end = buffer + sizeof buffer;
  char* begin = write_digits_backwards(end, date.day, 2);
  *--begin = '-';
  begin = write_digits_backwards(begin, date.month, 2);
  *--begin = '-';
  return std::string(write_year_backwards(begin, date.year), end);
}

char* put_dotted_date(char* out, const Date& date) noexcept {
  char year[12];  // sign and ten digits
  const char* const year_end = year + sizeof year;
  const char* const year_begin = write_year_backwards(year + sizeof year, date.year);
  *out++ = static_cast<char>('0' + date.day / 10);
  *out++ = static_cast<char>('0' + date.day % 10);
  *out++ = '.';
  *out++ = static_cast<char>('0' + date.month / 10);
  *out++ = static_cast<char>('0' + date.month % 10);
  *out++ = '.';
  for (const char* p = year_begin; p != year_end; ++p) *out++ = *p;
  return out;
}

std::string format_dotted_date(const Date& date) {
  char buffer[kMaxDottedDateBytes];
  return std::string(buffer, put_dotted_date(buffer, date));
}

std::string format_amount(const Amount& amount) {
  // 29 digits of magnitude at most, but a malformed scale (up to 255) must not write out of bounds.
  char digits[40];
  char* const digits_end = digits + sizeof digits;
  char* digits_begin;
  if (amount.high == 0) {
    digits_begin = write_digits_backwards(digits_end, amount.low, 1);
  } else {
    detail::Magnitude magnitude(amount);
    digits_begin = digits_end;
    do {
      *--digits_begin = static_cast<char>('0' + magnitude.divide_by_ten());
    } while (!magnitude.is_zero());
  }
  const std::size_t digit_count = static_cast<std::size_t>(digits_end - digits_begin);
  const std::size_t scale = amount.scale;

  std::string text;
  const std::size_t integer_digits = digit_count > scale ? digit_count - scale : 0;
  text.reserve((amount.negative ? 1 : 0) + (integer_digits == 0 ? 1 : integer_digits) + (scale ? 1 + scale : 0));
  if (amount.negative) text += '-';
  if (integer_digits == 0) {
    text += '0';
  } else {
    text.append(digits_begin, integer_digits);
  }
  if (scale != 0) {
    text += '.';
    if (digit_count < scale) text.append(scale - digit_count, '0');
    text.append(digits_begin + integer_digits, digit_count - integer_digits);
  }
  return text;
}

}  // namespace quorlane

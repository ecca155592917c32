// Writing dates and amounts back as text: 2024-03-07, -0001-01-01, 1500.50, -0.05.
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

}  // namespace

std::string format_date(const Date& date) {
  char buffer[24];  // sign, ten year digits, "-MM-DD"
  char* const end = buffer + sizeof buffer;
  char* begin = write_digits_backwards(end, date.day, 2);
  *--begin = '-';
  begin = write_digits_backwards(begin, date.month, 2);
  *--begin = '-';
  const std::int64_t year = date.year;
  begin = write_digits_backwards(begin, static_cast<std::uint64_t>(year < 0 ? -year : year), 4);
  if (year < 0) {
    *--begin = '-';
  } else if (year > 9999) {
    *--begin = '+';
  }
  return std::string(begin, end);
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

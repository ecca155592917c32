// Dates as day counts and amounts as scaled integers: the forms in which columnar formats keep these values.
#include <cstdint>
#include <optional>

#include "quorlane/values.h"

namespace quorlane {
namespace {

// An unsigned 128-bit integer as four 32-bit limbs (least significant first), with the steps scaling needs.
// Written with 64-bit arithmetic only, as the amounts' Magnitude is, so that it means the same everywhere.
struct Wide {
  std::uint32_t limbs[4] = {0, 0, 0, 0};

  // this * 10; false when the product needs more than 128 bits.
  bool times_ten() noexcept {
    std::uint64_t carry = 0;
    for (std::uint32_t& limb : limbs) {
      const std::uint64_t step = std::uint64_t{limb} * 10 + carry;
      limb = static_cast<std::uint32_t>(step);
      carry = step >> 32;
    }
    return carry == 0;
  }

  // Divides by ten and returns the remainder.
  unsigned divide_by_ten() noexcept {
    std::uint64_t rest = 0;
    for (int i = 3; i >= 0; --i) {
      const std::uint64_t part = rest << 32 | limbs[i];
      limbs[i] = static_cast<std::uint32_t>(part / 10);
      rest = part % 10;
    }
    return static_cast<unsigned>(rest);
  }

  std::uint64_t low() const noexcept { return std::uint64_t{limbs[1]} << 32 | limbs[0]; }
  std::uint64_t high() const noexcept { return std::uint64_t{limbs[3]} << 32 | limbs[2]; }

  friend bool operator<(const Wide& a, const Wide& b) noexcept {
    for (int i = 3; i >= 0; --i) {
      if (a.limbs[i] != b.limbs[i]) return a.limbs[i] < b.limbs[i];
    }
    return false;
  }
};

constexpr Wide power_of_ten(unsigned exponent) noexcept {
  Wide value;
  value.limbs[0] = 1;
  for (unsigned i = 0; i < exponent; ++i) {
    std::uint64_t carry = 0;
    for (std::uint32_t& limb : value.limbs) {
      const std::uint64_t step = std::uint64_t{limb} * 10 + carry;
      limb = static_cast<std::uint32_t>(step);
      carry = step >> 32;
    }
  }
  return value;
}

constexpr Wide kDigitsLimit = power_of_ten(kMaxScaledDigits);  // 10^38 < 2^127: the sign always fits

}  // namespace

std::int64_t days_since_epoch(const Date& date) noexcept {
  // Counted in eras of 400 years (146097 days) from 0000-03-01, so that the leap day ends each counted year.
  const std::int64_t year = std::int64_t{date.year} - (date.month <= 2 ? 1 : 0);
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t year_of_era = year - era * 400;
  const unsigned month_from_march = date.month > 2 ? date.month - 3u : date.month + 9u;
  const std::int64_t day_of_year = (153 * month_from_march + 2) / 5 + date.day - 1;
  const std::int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;  // 719468: the days from 0000-03-01 to 1970-01-01
}

std::optional<ScaledAmount> scaled_amount(const Amount& amount, unsigned scale) noexcept {
  Wide value;
  value.limbs[0] = static_cast<std::uint32_t>(amount.low);
  value.limbs[1] = static_cast<std::uint32_t>(amount.low >> 32);
  value.limbs[2] = amount.high;
  for (unsigned s = amount.scale; s < scale; ++s) {
    if (!value.times_ten()) return std::nullopt;
  }
  for (unsigned s = amount.scale; s > scale; --s) {
    if (value.divide_by_ten() != 0) return std::nullopt;
  }
  if (!(value < kDigitsLimit)) return std::nullopt;
  ScaledAmount scaled{value.low(), value.high()};
  if (amount.negative) {  // two's complement: invert and add one
    scaled.low = ~scaled.low + 1;
    scaled.high = ~scaled.high + (scaled.low == 0 ? 1 : 0);
  }
  return scaled;
}

}  // namespace quorlane

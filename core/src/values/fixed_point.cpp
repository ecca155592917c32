// Dates as day counts and amounts as scaled integers: the forms in which columnar formats keep these values.
#include <cstdint>
#include <optional>

#include "quorlane/values.h"
#include "magnitude.h"

namespace quorlane {
namespace {

using Wide = detail::Limbs<4>;  // an unsigned 128-bit integer

constexpr Wide power_of_ten(unsigned exponent) noexcept {
  Wide value;
  value.limbs[0] = 1;
  for (unsigned i = 0; i < exponent; ++i) value.times_ten_plus(0);
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
  const detail::Magnitude magnitude(amount);
  const std::uint32_t* limbs = magnitude.limbs().limbs;
  Wide value{{limbs[0], limbs[1], limbs[2], 0}};
  for (unsigned s = amount.scale; s < scale; ++s) {
    if (!value.times_ten_plus(0)) return std::nullopt;
  }
  for (unsigned s = amount.scale; s > scale; --s) {
    if (value.divide_by_ten() != 0) return std::nullopt;
  }
  if (!(value < kDigitsLimit)) return std::nullopt;
  ScaledAmount scaled{std::uint64_t{value.limbs[1]} << 32 | value.limbs[0],
                      std::uint64_t{value.limbs[3]} << 32 | value.limbs[2]};
  if (amount.negative) {  // two's complement: invert and add one
    scaled.low = ~scaled.low + 1;
    scaled.high = ~scaled.high + (scaled.low == 0 ? 1 : 0);
  }
  return scaled;
}

}  // namespace quorlane

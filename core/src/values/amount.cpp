// Reading amounts: plain decimals (1_000.50, -.5, 5.) and the exponent form (1.5E-3), exactly, never rounded.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "quorlane/quoted.h"
#include "quorlane/values.h"
#include "values/magnitude.h"

namespace quorlane {
namespace {

using detail::Magnitude;

constexpr unsigned kMaxScale = 28;

struct Decimal {
  Magnitude magnitude;
  unsigned scale = 0;
  bool negative = false;
};

// An optional sign, then digits with at most one point; "_" is ignored once a digit has been seen.
// Magnitudes beyond 96 bits and more than 28 fractional digits are refused, not rounded.
std::optional<Decimal> read_plain(std::string_view text) noexcept {
  std::size_t pos = 0;
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    pos = 1;
  }
  Magnitude magnitude;
  unsigned scale = 0;
  bool seen_digit = false;
  bool seen_point = false;
  for (; pos < text.size(); ++pos) {
    const char c = text[pos];
    if (c >= '0' && c <= '9') {
      if (!magnitude.times_ten_plus(static_cast<unsigned>(c - '0'))) return std::nullopt;
      if (seen_point && ++scale > kMaxScale) return std::nullopt;
      seen_digit = true;
    } else if (c == '.' && !seen_point) {
      seen_point = true;
    } else if (c != '_' || !seen_digit) {
      return std::nullopt;
    }
  }
  if (!seen_digit) return std::nullopt;
  return Decimal{magnitude, scale, negative};
}

struct Exponent {
  std::uint32_t value = 0;
  bool negative = false;
};

// "-" and digits, or digits with an optional "+"; at most 2^32 - 1 either way.
std::optional<Exponent> read_exponent(std::string_view text) noexcept {
  std::size_t pos = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) pos = 1;
  if (pos == text.size()) return std::nullopt;
  std::uint64_t accumulated = 0;
  for (; pos < text.size(); ++pos) {
    const char c = text[pos];
    if (c < '0' || c > '9') return std::nullopt;
    accumulated = accumulated * 10 + static_cast<unsigned>(c - '0');
    if (accumulated > UINT32_MAX) return std::nullopt;
  }
  return Exponent{static_cast<std::uint32_t>(accumulated), negative};
}

// A plain amount, "e" or "E", an exponent: the amount times ten to the exponent.
std::optional<Decimal> read_scientific(std::string_view text) noexcept {
  const std::size_t split = text.find_first_of("eE");
  if (split == std::string_view::npos) return std::nullopt;
  std::optional<Decimal> plain = read_plain(text.substr(0, split));
  const std::optional<Exponent> power = plain ? read_exponent(text.substr(split + 1)) : std::nullopt;
  if (!power) return std::nullopt;
  Decimal& decimal = *plain;
  const std::uint32_t exponent = power->value;
  if (power->negative) {
    if (std::uint64_t{decimal.scale} + exponent > kMaxScale) return std::nullopt;
    decimal.scale += exponent;
  } else if (exponent <= decimal.scale) {
    decimal.scale -= exponent;
  } else {
    // The digits move left while the scale stays, then surplus fractional zeros are dropped.
    if (exponent > kMaxScale) return std::nullopt;
    for (std::uint32_t step = 0; step < exponent; ++step) {
      if (!decimal.magnitude.times_ten_plus(0)) return std::nullopt;
    }
    while (decimal.scale > 0 && decimal.magnitude.last_digit() == 0) {
      decimal.magnitude.divide_by_ten();
      --decimal.scale;
    }
    if (decimal.magnitude.is_zero()) decimal = Decimal{};
  }
  return decimal;
}

Amount to_amount(const Decimal& decimal) noexcept {
  Amount amount;
  amount.low = decimal.magnitude.low();
  amount.high = decimal.magnitude.high();
  amount.scale = static_cast<std::uint8_t>(decimal.scale);
  amount.negative = decimal.negative;
  return amount;
}

std::string amount_message(std::string_view value) {
  static constexpr std::string_view kHead = "invalid value: string ";
  static constexpr std::string_view kTail = ", expected a Decimal type representing a fixed-point number";
  std::string text;
  text.reserve(kHead.size() + value.size() + 2 + kTail.size());
  text += kHead;
  append_quoted(text, value);
  text += kTail;
  return text;
}

}  // namespace

Result<Amount, std::string> read_amount(std::string_view value) {
  std::optional<Decimal> decimal = read_plain(value);
  if (!decimal) decimal = read_scientific(value);
  if (decimal) return to_amount(*decimal);
  return Err(amount_message(value));
}

bool same_value(const Amount& a, const Amount& b) noexcept {
  Magnitude a_magnitude(a);
  Magnitude b_magnitude(b);
  if (a_magnitude.is_zero() || b_magnitude.is_zero()) return a_magnitude.is_zero() && b_magnitude.is_zero();
  if (a.negative != b.negative) return false;
  // Equal values have equal digits once the trailing fractional zeros of the finer one are gone.
  unsigned a_scale = a.scale;
  unsigned b_scale = b.scale;
  while (a_scale > b_scale && a_magnitude.last_digit() == 0) {
    a_magnitude.divide_by_ten();
    --a_scale;
  }
  while (b_scale > a_scale && b_magnitude.last_digit() == 0) {
    b_magnitude.divide_by_ten();
    --b_scale;
  }
  return a_scale == b_scale && a_magnitude == b_magnitude;
}

}  // namespace quorlane

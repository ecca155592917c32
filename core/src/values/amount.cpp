// Reading amounts: plain decimals (1_000.50, -.5, 5.) and the exponent form (1.5E-3), exactly, never rounded.
#include <cstdint>
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
bool read_plain(std::string_view text, Decimal& out) noexcept {
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
      if (!magnitude.times_ten_plus(static_cast<unsigned>(c - '0'))) return false;
      if (seen_point && ++scale > kMaxScale) return false;
      seen_digit = true;
    } else if (c == '.' && !seen_point) {
      seen_point = true;
    } else if (c != '_' || !seen_digit) {
      return false;
    }
  }
  if (!seen_digit) return false;
  out = Decimal{magnitude, scale, negative};
  return true;
}

// "-" and digits, or digits with an optional "+"; at most 2^32 - 1 either way.
bool read_exponent(std::string_view text, bool& negative, std::uint32_t& value) noexcept {
  std::size_t pos = 0;
  negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) pos = 1;
  if (pos == text.size()) return false;
  std::uint64_t accumulated = 0;
  for (; pos < text.size(); ++pos) {
    const char c = text[pos];
    if (c < '0' || c > '9') return false;
    accumulated = accumulated * 10 + static_cast<unsigned>(c - '0');
    if (accumulated > UINT32_MAX) return false;
  }
  value = static_cast<std::uint32_t>(accumulated);
  return true;
}

// A plain amount, "e" or "E", an exponent: the amount times ten to the exponent.
bool read_scientific(std::string_view text, Decimal& out) noexcept {
  const std::size_t split = text.find_first_of("eE");
  if (split == std::string_view::npos) return false;
  Decimal decimal;
  bool negative_exponent = false;
  std::uint32_t exponent = 0;
  if (!read_plain(text.substr(0, split), decimal) ||
      !read_exponent(text.substr(split + 1), negative_exponent, exponent)) {
    return false;
  }
  if (negative_exponent) {
    if (std::uint64_t{decimal.scale} + exponent > kMaxScale) return false;
    decimal.scale += exponent;
  } else if (exponent <= decimal.scale) {
    decimal.scale -= exponent;
  } else {
    // The digits move left while the scale stays, then surplus fractional zeros are dropped.
    if (exponent > kMaxScale) return false;
    for (std::uint32_t step = 0; step < exponent; ++step) {
      if (!decimal.magnitude.times_ten_plus(0)) return false;
    }
    while (decimal.scale > 0 && decimal.magnitude.last_digit() == 0) {
      decimal.magnitude.divide_by_ten();
      --decimal.scale;
    }
    if (decimal.magnitude.is_zero()) decimal = Decimal{};
  }
  out = decimal;
  return true;
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
  Decimal decimal;
  if (read_plain(value, decimal) || read_scientific(value, decimal)) return to_amount(decimal);
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

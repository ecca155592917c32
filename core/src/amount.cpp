// Reading amounts: plain decimals (1_000.50, -.5, 5.) and the exponent form (1.5E-3), exactly, never rounded.
#include <cstdint>
#include <string>
#include <string_view>

#include "quorlane/quoted.h"
#include "quorlane/values.h"

namespace quorlane {
namespace {

using u128 = unsigned __int128;

constexpr u128 kMaxMagnitude = (u128{1} << 96) - 1;
constexpr unsigned kMaxScale = 28;

constexpr u128 power_of_ten(unsigned exponent) noexcept {
  u128 value = 1;
  while (exponent-- > 0) value *= 10;
  return value;
}

struct Decimal {
  u128 magnitude = 0;
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
  u128 magnitude = 0;
  unsigned scale = 0;
  bool seen_digit = false;
  bool seen_point = false;
  for (; pos < text.size(); ++pos) {
    const char c = text[pos];
    if (c >= '0' && c <= '9') {
      // Below 2^96 before the step, so the step itself cannot overflow 128 bits.
      magnitude = magnitude * 10 + static_cast<unsigned>(c - '0');
      if (magnitude > kMaxMagnitude) return false;
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
    const u128 factor = power_of_ten(exponent);
    if (decimal.magnitude > kMaxMagnitude / factor) return false;
    decimal.magnitude *= factor;
    while (decimal.scale > 0 && decimal.magnitude % 10 == 0) {
      decimal.magnitude /= 10;
      --decimal.scale;
    }
    if (decimal.magnitude == 0) decimal = Decimal{};
  }
  out = decimal;
  return true;
}

Amount to_amount(const Decimal& decimal) noexcept {
  Amount amount;
  amount.low = static_cast<std::uint64_t>(decimal.magnitude);
  amount.high = static_cast<std::uint32_t>(decimal.magnitude >> 64);
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
  const u128 a_magnitude = a.magnitude();
  const u128 b_magnitude = b.magnitude();
  if (a_magnitude == 0 || b_magnitude == 0) return a_magnitude == b_magnitude;
  if (a.negative != b.negative) return false;
  // Scaling the finer one down keeps within 128 bits; it must divide exactly to be equal.
  const bool a_finer = a.scale >= b.scale;
  const u128 finer = a_finer ? a_magnitude : b_magnitude;
  const u128 coarser = a_finer ? b_magnitude : a_magnitude;
  const unsigned shift = a_finer ? a.scale - b.scale : b.scale - a.scale;
  if (shift > 38) return false;  // a nonzero magnitude below 2^128 has fewer than 39 trailing zeros
  const u128 factor = power_of_ten(shift);
  return finer % factor == 0 && finer / factor == coarser;
}

}  // namespace quorlane

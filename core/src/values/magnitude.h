// The magnitude of an amount (below 2^96) as three 32-bit limbs, with the few steps amounts need. Written
// with 64-bit arithmetic only, so that it means the same on every compiler and word size.
#pragma once

#include <cstdint>

#include "quorlane/values.h"

namespace quorlane::detail {

class Magnitude {
 public:
  Magnitude() noexcept = default;
  explicit Magnitude(const Amount& amount) noexcept
      : limbs_{static_cast<std::uint32_t>(amount.low), static_cast<std::uint32_t>(amount.low >> 32), amount.high} {}

  std::uint64_t low() const noexcept { return std::uint64_t{limbs_[1]} << 32 | limbs_[0]; }
  std::uint32_t high() const noexcept { return limbs_[2]; }
  bool is_zero() const noexcept { return (limbs_[0] | limbs_[1] | limbs_[2]) == 0; }
  friend bool operator==(const Magnitude&, const Magnitude&) = default;

  // this * 10 + digit; false, and this unchanged, when the result needs more than 96 bits.
  bool times_ten_plus(unsigned digit) noexcept {
    std::uint64_t carry = digit;
    std::uint32_t out[3];
    for (int i = 0; i < 3; ++i) {
      const std::uint64_t step = std::uint64_t{limbs_[i]} * 10 + carry;
      out[i] = static_cast<std::uint32_t>(step);
      carry = step >> 32;
    }
    if (carry != 0) return false;
    for (int i = 0; i < 3; ++i) limbs_[i] = out[i];
    return true;
  }

  // Divides by ten and returns the remainder.
  unsigned divide_by_ten() noexcept {
    std::uint64_t rest = 0;
    for (int i = 2; i >= 0; --i) {
      const std::uint64_t part = rest << 32 | limbs_[i];
      limbs_[i] = static_cast<std::uint32_t>(part / 10);
      rest = part % 10;
    }
    return static_cast<unsigned>(rest);
  }

  // The last decimal digit, without dividing.
  unsigned last_digit() const noexcept {
    Magnitude copy = *this;
    return copy.divide_by_ten();
  }

 private:
  std::uint32_t limbs_[3] = {0, 0, 0};  // least significant first
};

}  // namespace quorlane::detail

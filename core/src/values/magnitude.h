// Unsigned integers of a few 32-bit limbs with the few steps amounts need: the magnitude of an amount (below
// 2^96) and the 128-bit integers it is scaled to for columnar formats. Written with 64-bit arithmetic only, so
// that they mean the same on every compiler and word size.
#pragma once

#include <cstdint>

#include "quorlane/values.h"

namespace quorlane::detail {

template <int N>
struct Limbs {
  std::uint32_t limbs[N] = {};  // least significant first

  // this * 10 + digit; false, and this unchanged, when the result needs more than N limbs.
  constexpr bool times_ten_plus(unsigned digit) noexcept {
    std::uint64_t carry = digit;
    std::uint32_t out[N] = {};
    for (int i = 0; i < N; ++i) {
      const std::uint64_t step = std::uint64_t{limbs[i]} * 10 + carry;
      out[i] = static_cast<std::uint32_t>(step);
      carry = step >> 32;
    }
    if (carry != 0) return false;
    for (int i = 0; i < N; ++i) limbs[i] = out[i];
    return true;
  }

  // Divides by ten and returns the remainder.
  constexpr unsigned divide_by_ten() noexcept {
    std::uint64_t rest = 0;
    for (int i = N - 1; i >= 0; --i) {
      const std::uint64_t part = rest << 32 | limbs[i];
      limbs[i] = static_cast<std::uint32_t>(part / 10);
      rest = part % 10;
    }
    return static_cast<unsigned>(rest);
  }

  constexpr bool is_zero() const noexcept {
    std::uint32_t any = 0;
    for (std::uint32_t limb : limbs) any |= limb;
    return any == 0;
  }

  friend constexpr bool operator==(const Limbs&, const Limbs&) = default;
  friend constexpr bool operator<(const Limbs& a, const Limbs& b) noexcept {
    for (int i = N - 1; i >= 0; --i) {
      if (a.limbs[i] != b.limbs[i]) return a.limbs[i] < b.limbs[i];
    }
    return false;
  }
};

class Magnitude {
 public:
  Magnitude() noexcept = default;
  explicit Magnitude(const Amount& amount) noexcept
      : value_{{static_cast<std::uint32_t>(amount.low), static_cast<std::uint32_t>(amount.low >> 32), amount.high}} {}

  std::uint64_t low() const noexcept { return std::uint64_t{value_.limbs[1]} << 32 | value_.limbs[0]; }
  std::uint32_t high() const noexcept { return value_.limbs[2]; }
  bool is_zero() const noexcept { return value_.is_zero(); }
  friend bool operator==(const Magnitude&, const Magnitude&) = default;

  // this * 10 + digit; false, and this unchanged, when the result needs more than 96 bits.
  bool times_ten_plus(unsigned digit) noexcept { return value_.times_ten_plus(digit); }

  // Divides by ten and returns the remainder.
  unsigned divide_by_ten() noexcept { return value_.divide_by_ten(); }

  // The last decimal digit, without dividing.
  unsigned last_digit() const noexcept {
    Magnitude copy = *this;
    return copy.divide_by_ten();
  }

  const Limbs<3>& limbs() const noexcept { return value_; }

 private:
  Limbs<3> value_;
};

}  // namespace quorlane::detail

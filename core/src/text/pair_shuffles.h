// The shuffles that turn eight characters of one or two UTF-8 bytes, laid out as [lead0, second0, lead1,
// second1, ...], into their UTF-8: the lead byte of a position is kept only where its bit is set in the
// mask (a character of two bytes); the second byte is always kept (the ASCII byte itself, or the trail).
#pragma once

#include <cstdint>

namespace quorlane::detail {

struct PairShuffles {
  alignas(16) std::uint8_t index[256][16];
};

constexpr PairShuffles make_pair_shuffles() {
  PairShuffles s{};
  for (int mask = 0; mask < 256; ++mask) {
    int out = 0;
    for (int i = 0; i < 8; ++i) {
      if (mask & (1 << i)) s.index[mask][out++] = static_cast<std::uint8_t>(2 * i);
      s.index[mask][out++] = static_cast<std::uint8_t>(2 * i + 1);
    }
    while (out < 16) s.index[mask][out++] = 0x80;
  }
  return s;
}

inline constexpr PairShuffles kPairShuffles = make_pair_shuffles();

}  // namespace quorlane::detail

// The plausibility check for text that did not arrive as UTF-8: a statement is mostly letters, digits,
// punctuation and line breaks; a binary file or a wrongly guessed encoding is not.
#include "decoders.h"

namespace quorlane::detail {
namespace {

constexpr std::size_t kExamined = 20480;
constexpr std::size_t kMinPercent = 96;

// ASCII letters, digits, punctuation and space, tab, LF, FF, CR (not VT); and anything above U+03FF.
bool plausible_ascii(unsigned char c) noexcept {
  return (c >= 0x20 && c <= 0x7E) || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

}  // namespace

bool is_plausible(std::string_view text) noexcept {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t pos = 0, examined = 0, plausible = 0;
  while (pos < n && examined < kExamined) {
    const unsigned char lead = p[pos];
    ++examined;
    if (lead < 0x80) {
      plausible += plausible_ascii(lead);
      ++pos;
      continue;
    }
    // Two-byte sequences cover U+0080..U+07FF; C0..CF lead those up to U+03FF, D0 and up those above it.
    if (lead < 0xE0) {
      plausible += lead >= 0xD0;
      pos += 2;
    } else {
      plausible += 1;
      pos += lead < 0xF0 ? 3 : 4;
    }
  }
  return examined != 0 && plausible * 100 / examined >= kMinPercent;
}

}  // namespace quorlane::detail

// The format's words (markers and keys) as windows-1251 bytes, made at compile time from their UTF-8 spelling,
// so that windows-1251 statements are read where they lie, without turning every line into UTF-8 first.
#pragma once

#include <cstddef>
#include <string_view>

#include "quorlane/utf8.h"
#include "quorlane/single_byte_codecs.h"

namespace quorlane::detail {

// A short text held by value, so that a constant of it has the static storage a string_view can refer to.
template <std::size_t Capacity>
struct FixedText {
  char bytes[Capacity] = {};
  std::size_t size = 0;

  constexpr std::string_view view() const noexcept { return {bytes, size}; }
};

// Only for constants: a character windows-1251 lacks stops the compilation.
template <std::size_t Capacity>
constexpr FixedText<Capacity> to_windows_1251(std::string_view utf8) {
  FixedText<Capacity> out;
  for (std::size_t i = 0; i < utf8.size();) {
    const int byte = kWindows1251.byte(next_code_point(utf8, i));
    if (byte < 0) throw "a character windows-1251 lacks";
    out.bytes[out.size++] = static_cast<char>(byte);
  }
  return out;
}

template <std::size_t N>
constexpr FixedText<N> to_windows_1251(const char (&utf8)[N]) {
  return to_windows_1251<N>(std::string_view(utf8, N - 1));
}

}  // namespace quorlane::detail

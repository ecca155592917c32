// The format's words (markers and keys) as windows-1251 bytes, made at compile time from their UTF-8 spelling,
// so that windows-1251 statements are read where they lie, without turning every line into UTF-8 first.
#pragma once

#include <cstddef>
#include <string_view>

namespace quorlane::detail {

// A short text held by value, so that a constant of it has the static storage a string_view can refer to.
template <std::size_t Capacity>
struct FixedText {
  char bytes[Capacity] = {};
  std::size_t size = 0;

  constexpr std::string_view view() const noexcept { return {bytes, size}; }
};

// ASCII, А..я, Ё, ё and №: what the format's words are written with. Only for constants: anything else stops
// the compilation.
template <std::size_t Capacity>
constexpr FixedText<Capacity> to_windows_1251(std::string_view utf8) {
  FixedText<Capacity> out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    char32_t c = lead;
    if (lead >= 0x80) {
      if ((lead & 0xE0) == 0xC0) {
        c = (char32_t(lead & 0x1F) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F);
        i += 2;
      } else if ((lead & 0xF0) == 0xE0) {
        c = (char32_t(lead & 0x0F) << 12) | (char32_t(static_cast<unsigned char>(utf8[i + 1]) & 0x3F) << 6) |
            (static_cast<unsigned char>(utf8[i + 2]) & 0x3F);
        i += 3;
      } else {
        throw "a character windows-1251 lacks";
      }
    } else {
      ++i;
    }
    if (c < 0x80) {
      out.bytes[out.size++] = static_cast<char>(c);
    } else if (c >= 0x410 && c <= 0x44F) {
      out.bytes[out.size++] = static_cast<char>(0xC0 + (c - 0x410));
    } else if (c == 0x401) {
      out.bytes[out.size++] = static_cast<char>(0xA8);
    } else if (c == 0x451) {
      out.bytes[out.size++] = static_cast<char>(0xB8);
    } else if (c == 0x2116) {
      out.bytes[out.size++] = static_cast<char>(0xB9);
    } else {
      throw "a character outside the format's words";
    }
  }
  return out;
}

template <std::size_t N>
constexpr FixedText<N> to_windows_1251(const char (&utf8)[N]) {
  return to_windows_1251<N>(std::string_view(utf8, N - 1));
}

}  // namespace quorlane::detail

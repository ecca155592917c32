// windows-1251 as the reader decodes it: the WHATWG index, in which every byte is a character (unlike some
// platform code pages, 0x98 is U+0098). The one copy of the table: the core's decoders and its one encoder are
// built from it, and the package's writers encode with that encoder.
#pragma once

#include <array>
#include <cstddef>

namespace quorlane {

// The characters of the bytes 0x80..0xFF; the bytes below 0x80 are ASCII.
inline constexpr std::array<char16_t, 128> kWindows1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,  // C0
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,  // C8
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,  // D0
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,  // D8
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,  // E0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,  // E8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,  // F0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,  // F8
};

// The character of one byte.
constexpr char32_t windows_1251_char(unsigned char byte) noexcept {
  return byte < 0x80 ? char32_t{byte} : char32_t{kWindows1251High[byte - 0x80]};
}

// The byte that holds c, or -1 when windows-1251 lacks it. A search of the table: for constants and for
// building a lookup table, not for a loop over text.
constexpr int windows_1251_byte(char32_t c) noexcept {
  if (c < 0x80) return static_cast<int>(c);
  for (int i = 0; i < 128; ++i) {
    if (kWindows1251High[i] == c) return 0x80 + i;
  }
  return -1;
}

// The one encoder into windows-1251, for loops over text: every character below U+0800 (Cyrillic among them) by
// a direct lookup, the few above (dashes, quotes, the euro, the numero and trade marks) by a search of a sorted
// list. Made at compile time.
class Windows1251Encoder {
 public:
  constexpr Windows1251Encoder() {
    for (unsigned byte = 0; byte < 0x100; ++byte) {
      const char32_t c = windows_1251_char(static_cast<unsigned char>(byte));
      if (c < direct_.size()) {
        direct_[c] = static_cast<unsigned char>(byte);
      } else {
        far_[far_count_++] = Far{c, static_cast<unsigned char>(byte)};
      }
    }
    for (std::size_t i = 1; i < far_count_; ++i) {  // an insertion sort, as constexpr as it gets
      for (std::size_t k = i; k > 0 && far_[k].c < far_[k - 1].c; --k) {
        const Far moved = far_[k];
        far_[k] = far_[k - 1];
        far_[k - 1] = moved;
      }
    }
  }

  // The byte that holds c; 0 where windows-1251 lacks it (and for U+0000, which every caller refuses first).
  constexpr unsigned char byte(char32_t c) const noexcept {
    if (c < direct_.size()) return direct_[c];
    std::size_t low = 0;
    std::size_t high = far_count_;
    while (low < high) {
      const std::size_t middle = (low + high) / 2;
      if (far_[middle].c < c) {
        low = middle + 1;
      } else {
        high = middle;
      }
    }
    return low < far_count_ && far_[low].c == c ? far_[low].byte : 0;
  }

 private:
  struct Far {
    char32_t c = 0;
    unsigned char byte = 0;
  };
  std::array<unsigned char, 0x800> direct_{};
  std::array<Far, 128> far_{};
  std::size_t far_count_ = 0;
};

inline constexpr Windows1251Encoder kWindows1251Encoder;

}  // namespace quorlane

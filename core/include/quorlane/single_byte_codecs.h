// The single-byte encodings statements are written in, as the WHATWG Encoding Standard's indexes give them:
// windows-1251, what the reader falls back to, in which every byte is a character (unlike some platform code pages,
// 0x98 is U+0098); and IBM866 (cp866), what the format's "Кодировка=DOS" names. The one copy of each table: the
// core's decoders and encoders are built from them, and the package's writers and conversions use those.
#pragma once

#include <array>
#include <cstddef>

namespace quorlane {

// An encoding of a byte a character whose bytes below 0x80 are ASCII: the characters of the bytes 0x80..0xFF.
struct SingleByteCodec {
  std::array<char16_t, 128> high;

  // The character of one byte.
  constexpr char32_t character(unsigned char byte) const noexcept {
    return byte < 0x80 ? char32_t{byte} : char32_t{high[byte - 0x80]};
  }

  // The byte that holds c, or -1 when the encoding lacks it. A search of the table: for constants and for building
  // a lookup table, not for a loop over text.
  constexpr int byte(char32_t c) const noexcept {
    if (c < 0x80) return static_cast<int>(c);
    for (int i = 0; i < 128; ++i) {
      if (high[static_cast<std::size_t>(i)] == c) return 0x80 + i;
    }
    return -1;
  }
};

inline constexpr SingleByteCodec kWindows1251{{
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
}};

// DOS Cyrillic: the letters А..п, then box drawing, then р..я, then Ё, ё and a few signs.
inline constexpr SingleByteCodec kIbm866{{
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,  // 80
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,  // 88
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,  // 90
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,  // 98
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,  // A0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,  // A8
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,  // B0
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,  // B8
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,  // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,  // C8
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,  // D0
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,  // D8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,  // E0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,  // E8
    0x0401, 0x0451, 0x0404, 0x0454, 0x0407, 0x0457, 0x040E, 0x045E,  // F0
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x2116, 0x00A4, 0x25A0, 0x00A0,  // F8
}};

// The one encoder into a single-byte encoding, for loops over text: every character below U+0800 (Cyrillic among
// them) by a direct lookup, the few above (dashes, quotes, signs, box drawing) by a search of a sorted list. Made at
// compile time.
class SingleByteEncoder {
 public:
  explicit constexpr SingleByteEncoder(const SingleByteCodec& codec) {
    for (unsigned byte = 0; byte < 0x100; ++byte) {
      const char32_t c = codec.character(static_cast<unsigned char>(byte));
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

  // The byte that holds c; 0 where the encoding lacks it (and for U+0000, which every caller refuses first).
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

inline constexpr SingleByteEncoder kWindows1251Encoder{kWindows1251};
inline constexpr SingleByteEncoder kIbm866Encoder{kIbm866};

}  // namespace quorlane

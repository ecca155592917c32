// The encodings a statement is read in, text given as code points, and the UTF-8 check that decides between
// the encodings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace quorlane {

// What a statement is read in. The texts a reading keeps are UTF-8, or windows-1251 where it reads the bytes in place;
// cp866 (IBM866) is only ever read when the package asks for what the header declares (see ReadOptions), and is
// made into UTF-8 as it is read.
enum class Encoding : unsigned char { Utf8, Cp1251, Cp866 };

// "utf-8", "cp1251" or "cp866".
std::string_view encoding_name(Encoding encoding) noexcept;

// Text held as code points of one width, as CPython keeps a str: one byte (Latin-1), two (UCS-2) or four
// each. It may hold lone surrogates, which have no UTF-8 form.
struct CodePoints {
  const void* data = nullptr;
  std::size_t count = 0;
  unsigned width = 1;
};

// The one switch on the width of code points: calls visit(units, count) with the units as they are held
// (std::uint8_t, std::uint16_t or std::uint32_t each), and returns what it returns.
template <class Visit>
decltype(auto) with_units(CodePoints points, Visit&& visit) {
  switch (points.width) {
    case 1: return visit(static_cast<const std::uint8_t*>(points.data), points.count);
    case 2: return visit(static_cast<const std::uint16_t*>(points.data), points.count);
    default: return visit(static_cast<const std::uint32_t*>(points.data), points.count);
  }
}

// A text written in `encoding` (UTF-8, or windows-1251 or IBM866 by the WHATWG index), as UTF-8.
std::string to_utf8(std::string_view text, Encoding encoding);

// The room write_utf8 needs for a text of `size` bytes: three bytes a byte (a single-byte encoding's letter takes
// two, a few signs three), and 16 more, which its fast paths write past the end of the text and leave undefined.
constexpr std::size_t utf8_room(std::size_t size) noexcept { return size * 3 + 16; }

// Writes the UTF-8 form of windows-1251 (or IBM866) text at `out`, which has utf8_room(text.size()) bytes; returns
// its end.
char* write_windows_1251_as_utf8(std::string_view text, char* out) noexcept;
char* write_ibm866_as_utf8(std::string_view text, char* out) noexcept;

// Writes the UTF-8 form of `text`, written in `encoding`, at `out`, which has utf8_room(text.size()) bytes, and
// returns the end of it: to_utf8 for callers that gather many texts into one buffer. Inline, as it runs for
// every value of a column.
inline char* write_utf8(std::string_view text, Encoding encoding, char* out) noexcept {
  if (encoding == Encoding::Cp1251) return write_windows_1251_as_utf8(text, out);
  if (encoding == Encoding::Cp866) return write_ibm866_as_utf8(text, out);
  if (!text.empty()) std::memcpy(out, text.data(), text.size());
  return out + text.size();
}

// The room write_utf8 needs for text given as code points: its UTF-8 at most, and what its fast paths write past
// the end.
std::size_t utf8_room(CodePoints text) noexcept;

// Writes the UTF-8 form of the code points at `out`, which has utf8_room(text) bytes: the one loop from code
// points to UTF-8, which the text source uses too. Returns its end, or null at a lone surrogate, which UTF-8
// cannot hold (what was written before it is then undefined).
char* write_utf8(CodePoints text, char* out) noexcept;

// True when the whole input is valid UTF-8 (strict: no surrogates, no overlong forms, at most U+10FFFF), by
// the validator chosen for the processor.
bool is_valid_utf8(std::string_view bytes) noexcept;

}  // namespace quorlane

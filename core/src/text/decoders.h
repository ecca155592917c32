// The converters behind the text source: each writes UTF-8 into a buffer the caller provides, which must have
// room for the text plus kDecodeSlack bytes (the fast paths write whole vectors and words past the end, left
// undefined).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "quorlane/decode.h"
#include "quorlane/errors.h"
#include "quorlane/result.h"

namespace quorlane::detail {

inline constexpr std::size_t kDecodeSlack = 16;  // a whole 16-byte vector (any converter here), or a word

// The loops that have a vectorised form, as one set chosen once, the first time one is needed (as simdjson
// chooses its implementation): the AVX2 set where the processor has AVX2, else the portable one. Both give the
// same results; the portable set stays callable, so that tests and fuzzing compare the two.
struct Kernels {
  bool (*is_valid_utf8)(std::string_view bytes) noexcept;
  // windows-1251 into UTF-8 (see decode_cp1251_into).
  char* (*decode_cp1251)(std::string_view input, char* out) noexcept;
  // UCS-2 into UTF-8, three bytes a unit at most; null at a lone surrogate.
  char* (*ucs2_to_utf8)(const std::uint16_t* units, std::size_t count, char* out) noexcept;
};
const Kernels& active_kernels() noexcept;
const Kernels& portable_kernels() noexcept;

// windows-1251 through the WHATWG index (every byte maps to a character, so it never fails): at most three
// bytes a character. Returns the end of the text written.
constexpr std::size_t kCp1251MaxBytesPerChar = 3;
inline char* decode_cp1251_into(std::string_view input, char* out) noexcept {
  return active_kernels().decode_cp1251(input, out);
}
std::string windows_1251_to_utf8(std::string_view input);
// IBM866 the same way, by a table lookup a byte (ASCII eight bytes a step).
char* decode_ibm866_into(std::string_view input, char* out) noexcept;

// UTF-16 without its byte order mark, at most three bytes a unit (a surrogate pair makes four from two).
// NotStatement when it holds a lone surrogate or an odd trailing byte.
constexpr std::size_t kUtf16MaxBytesPerUnit = 3;
Result<char*, StatementError> decode_utf16_into(std::string_view input, bool big_endian, char* out);

// UTF-8 of text given as code points: at most utf8_bytes_per_point(width) bytes each. NotUtf8 at a lone
// surrogate (what was written before it is then left undefined).
constexpr std::size_t utf8_bytes_per_point(unsigned width) noexcept { return width == 1 ? 2 : width == 2 ? 3 : 4; }
Result<char*, StatementError> code_points_to_utf8(CodePoints points, char* out);
// The number of code points in the shortest start holding at least `least` of them and ending with U+000A
// (all of them when there is none): a piece of whole lines.
std::size_t code_points_whole_lines(CodePoints points, std::size_t least) noexcept;
bool has_lone_surrogate(CodePoints points) noexcept;
CodePoints code_points_slice(CodePoints points, std::size_t from, std::size_t count) noexcept;

}  // namespace quorlane::detail

// The converters behind the text source: each writes UTF-8 into a buffer the caller provides, which must have
// room for the text plus kDecodeSlack bytes (the fast paths write whole vectors and words past the end, left
// undefined).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "quorlane/decode.h"
#include "quorlane/errors.h"
#include "quorlane/result.h"

namespace quorlane::detail {

inline constexpr std::size_t kDecodeSlack = 16;  // a whole 16-byte vector (any converter here), or a word

// The UTF-8 validators behind is_valid_utf8, exposed so that tests can check that they agree.
bool is_valid_utf8_scalar(std::string_view bytes) noexcept;
bool cpu_has_avx2() noexcept;
bool is_valid_utf8_avx2(std::string_view bytes) noexcept;  // precondition: cpu_has_avx2()

// windows-1251 through the WHATWG index (every byte maps to a character, so it never fails): at most three
// bytes a character. Returns the end of the text written.
constexpr std::size_t kCp1251MaxBytesPerChar = 3;
char* decode_cp1251_into(std::string_view input, char* out, bool vectors) noexcept;
std::string windows_1251_to_utf8(std::string_view input, bool vectors = true);

// UTF-16 without its byte order mark, at most three bytes a unit (a surrogate pair makes four from two).
// NotStatement when it holds a lone surrogate or an odd trailing byte.
constexpr std::size_t kUtf16MaxBytesPerUnit = 3;
Result<char*, StatementError> decode_utf16_into(std::string_view input, bool big_endian, char* out);

// UTF-8 of text given as code points: at most utf8_bytes_per_point(width) bytes each. NotUtf8 at a lone
// surrogate (what was written before it is then left undefined).
constexpr std::size_t utf8_bytes_per_point(unsigned width) noexcept { return width == 1 ? 2 : width == 2 ? 3 : 4; }
Result<char*, StatementError> code_points_to_utf8(CodePoints points, char* out, bool vectors);
// The number of code points in the shortest start holding at least `least` of them and ending with U+000A
// (all of them when there is none): a piece of whole lines.
std::size_t code_points_whole_lines(CodePoints points, std::size_t least) noexcept;
bool has_lone_surrogate(CodePoints points) noexcept;
CodePoints code_points_slice(CodePoints points, std::size_t from, std::size_t count) noexcept;

}  // namespace quorlane::detail

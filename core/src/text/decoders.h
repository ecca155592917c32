// The decoders behind decode_input for input that is not valid UTF-8. Each writes UTF-8.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "quorlane/decode.h"

namespace quorlane::detail {

// Text decoded into a buffer of its own. `malformed` is set when the decoder met a malformed sequence.
struct DecodedBytes {
  std::unique_ptr<char[]> bytes;
  std::size_t size = 0;
  bool malformed = false;
};

// An uninitialised buffer for decoded text (large ones are backed by huge pages where the system offers them).
std::unique_ptr<char[]> fresh_buffer(std::size_t size);

// windows-1251 through the WHATWG index (every byte maps to a character, so it never fails). Uses the
// vectorised decoder when the processor has AVX2 and `allow_vector` is set (tests compare the two).
DecodedBytes decode_cp1251(std::string_view input, bool allow_vector = true);

// The same in pieces, for a text decoded while it is being read: the exact size of the text, and the decoding
// of a piece into `out`, which must have room for its text plus kDecodeSlack bytes (written past the end and
// left undefined); three bytes a character are always enough. Returns the end of the piece's text. Pieces
// may be cut anywhere: every byte is a character.
inline constexpr std::size_t kDecodeSlack = 16;  // a whole 16-byte vector (any decoder here), or a word
std::size_t cp1251_decoded_size(std::string_view input, bool allow_vector = true) noexcept;
char* decode_cp1251_into(std::string_view input, char* out, bool allow_vector = true) noexcept;

// UTF-16 without its byte order mark; lone surrogates and an odd trailing byte are malformed.
DecodedBytes decode_utf16(std::string_view input, bool big_endian);

// UTF-8 of text given as code points. The most bytes a code point of `width` takes; `out` must have room for
// that many a code point plus kDecodeSlack. Returns the end of the text, or nullptr at a lone surrogate
// (what was written before it is left undefined).
constexpr std::size_t utf8_bytes_per_point(unsigned width) noexcept { return width == 1 ? 2 : width == 2 ? 3 : 4; }
char* code_points_to_utf8(CodePoints points, char* out, bool allow_vector = true) noexcept;
// The number of code points in the shortest start holding at least `least` of them and ending with U+000A
// (all of them when there is none): a piece of whole lines.
std::size_t code_points_whole_lines(CodePoints points, std::size_t least) noexcept;
bool has_lone_surrogate(CodePoints points) noexcept;
CodePoints code_points_slice(CodePoints points, std::size_t from, std::size_t count) noexcept;

// At least 96 per cent (after truncation) of the first 20480 characters must be plausible statement text.
// Precondition: valid UTF-8.
bool is_plausible(std::string_view text) noexcept;

}  // namespace quorlane::detail

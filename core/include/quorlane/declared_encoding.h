// What a statement's header says of its own encoding: the line "Кодировка=Windows" or "Кодировка=DOS" (cp866, by
// the format's standard). The reader itself goes by the bytes alone; the package's reading takes a declared DOS at
// its word (see ReadOptions).
#pragma once

#include <cstddef>
#include <string_view>

namespace quorlane {

// The header's key that names the encoding, and its value for cp866.
inline constexpr std::string_view kEncodingKey = "Кодировка";
inline constexpr std::string_view kDosEncoding = "DOS";

// Where the header is looked for: its lines in the first this many bytes. A header is a dozen lines; a statement of
// some other encoding, whose markers do not end the header read as cp866, is not looked through to its end.
inline constexpr std::size_t kHeaderBytes = std::size_t{64} << 10;

// Whether the bytes declare themselves cp866: the last "Кодировка=" line of the header (the lines before the first
// section's opening line or "КонецФайла", within the first kHeaderBytes), written in cp866, says "DOS". A line is
// as the reader cuts it: up to a line feed, less one carriage return before it. Written in any other encoding the
// key's bytes differ, so that a windows-1251 or UTF-8 file that says DOS is not taken for cp866.
bool declares_dos(std::string_view bytes) noexcept;

}  // namespace quorlane

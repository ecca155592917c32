// Turning a statement's bytes into text: valid UTF-8 is used in place, anything else is decoded as
// windows-1251 (or by a leading byte order mark as UTF-8 / UTF-16) and checked for plausibility.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>

#include "quorlane/errors.h"
#include "quorlane/result.h"

namespace quorlane {

enum class Encoding : unsigned char { Utf8, Cp1251 };

// "utf-8" or "cp1251".
std::string_view encoding_name(Encoding encoding) noexcept;

// Text held as code points of one width, as CPython keeps a str: one byte (Latin-1), two (UCS-2) or four
// each. It may hold lone surrogates, which have no UTF-8 form.
struct CodePoints {
  const void* data = nullptr;
  std::size_t count = 0;
  unsigned width = 1;
};

// The decoded text (valid UTF-8) and the encoding it was read in. For Utf8 the text is a view of the input,
// which must outlive this object; for Cp1251 the text is owned here (moving keeps it valid).
class DecodedInput {
 public:
  static DecodedInput in_place(std::string_view utf8_input) noexcept;
  static DecodedInput owned(std::unique_ptr<char[]> bytes, std::size_t size) noexcept;

  std::string_view text() const noexcept { return text_; }
  Encoding encoding() const noexcept { return encoding_; }

  // Tells that the text before `position` will not be read again, so that a large owned text can give its
  // memory back while the reading goes on. Only advice: the text stays addressable, and nothing happens for
  // a text used in place.
  void release_before(const char* position) noexcept;

  // For a text taken while it is read (decode_input_lazily): the input whose text follows text(), which then
  // ends with a whole line. Empty when text() is the whole text. For Utf8 it is the rest of the input, not yet
  // checked to be UTF-8 (its text is itself); for Cp1251 it is still to be decoded.
  std::string_view undecoded() const noexcept { return undecoded_; }
  // For text given as code points (take_text_lazily): those whose UTF-8 follows text(). None otherwise.
  CodePoints undecoded_points() const noexcept { return undecoded_points_; }
  // Makes text() the whole text. False, and nothing changed, when the input read as UTF-8 turns out not to
  // be (it is then to be decoded anew with decode_input), or when code points hold a lone surrogate.
  bool decode_rest();

 private:
  friend Result<DecodedInput, StatementError> decode_input_lazily(std::string_view input,
                                                                  std::size_t utf8_piece);
  friend std::optional<DecodedInput> take_text_lazily(CodePoints text, std::size_t first_piece);
  DecodedInput(std::string_view text, Encoding encoding, std::unique_ptr<char[]> storage) noexcept;
  std::string_view text_;
  Encoding encoding_;
  std::unique_ptr<char[]> storage_;
  std::size_t released_ = 0;  // bytes at the start of storage_ already given back
  std::string_view undecoded_;
  CodePoints undecoded_points_;
};

// decode_input for a caller that takes the rest of the text itself, piece by piece as it reads. An input
// whose first piece (whole lines, at least `utf8_piece` bytes) is valid UTF-8 is taken as UTF-8, the rest
// being checked as it is read; should the rest not be UTF-8, the caller must start again with decode_input.
// A large windows-1251 input is decoded only as far as its checks need (a first piece of whole lines holding
// the first line and the characters of the plausibility check). DecodedInput::undecoded() holds the rest in
// both cases. The outcome of the checks is that of decode_input.
Result<DecodedInput, StatementError> decode_input_lazily(std::string_view input,
                                                         std::size_t utf8_piece = std::size_t{64} << 10);

// Text given as code points, taken as UTF-8 (its encoding is Utf8): the UTF-8 of a first piece of whole
// lines, at least `first_piece` code points long, and the rest in DecodedInput::undecoded_points(). Nothing
// when that piece holds a lone surrogate.
std::optional<DecodedInput> take_text_lazily(CodePoints text, std::size_t first_piece);

// True when the whole input is valid UTF-8 (strict: no surrogates, no overlong forms, at most U+10FFFF).
bool is_valid_utf8(std::string_view bytes) noexcept;

// Decodes the input, or NotStatement (malformed sequence after a byte order mark, or an implausible text).
Result<DecodedInput, StatementError> decode_input(std::string_view input);

// The two UTF-8 validators behind is_valid_utf8, exposed so that tests can check that they agree.
// is_valid_utf8 picks the AVX2 one at run time when the processor has it.
namespace detail {
bool is_valid_utf8_scalar(std::string_view bytes) noexcept;
bool cpu_has_avx2() noexcept;
bool is_valid_utf8_avx2(std::string_view bytes) noexcept;  // precondition: cpu_has_avx2()
}  // namespace detail

// Succeeds when the first line of the text is exactly "1CClientBankExchange"; otherwise NotStatement.
Status<StatementError> check_first_line(std::string_view text);

}  // namespace quorlane

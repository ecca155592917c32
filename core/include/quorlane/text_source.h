// A statement's text, handed out in pieces of whole lines, whatever form the statement came in: UTF-8 bytes
// (read in place and checked as they go), windows-1251 bytes (read in place: the reader turns into UTF-8 only
// what it keeps), text given as code points or cp866 bytes (turned into UTF-8 a piece at a time, into buffers
// that are used again once the reader has left them), or bytes that a byte order mark sends to UTF-16 (decoded
// whole).
#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <string_view>
#include <vector>

#include "quorlane/decode.h"
#include "quorlane/errors.h"
#include "quorlane/result.h"

namespace quorlane {

// What is known of statement bytes being valid UTF-8 as a whole.
enum class Utf8Verdict : unsigned char { Unknown, Valid, Invalid };

// What a reading that took bytes to be in `encoding` and read them to its end found: UTF-8 (valid), or not.
constexpr Utf8Verdict verdict_after(Encoding encoding) noexcept {
  return encoding == Encoding::Utf8 ? Utf8Verdict::Valid : Utf8Verdict::Invalid;
}

// How a statement's text is made.
struct ReadOptions {
  // The input is made into text this many bytes (or code points) at a time, cut at the next line end. Only tests
  // and benchmarks change it.
  std::size_t piece_size = std::size_t{64} << 10;
  // The package's reading beyond the reader's own (which leaves both off): a UTF-8 byte order mark at the start is
  // read past, the rest then read as UTF-8 or refused (the reader keeps the mark as part of the first line); and
  // bytes that are not UTF-8 and declare DOS (declares_dos) are read as cp866 (the reader reads windows-1251).
  bool skip_utf8_bom = false;
  bool read_declared_dos = false;
  // Of bytes that an earlier reading read to its end: what it found (verdict_after), so that they are read as
  // they were then, at once (a reading of bytes taken as UTF-8 by their start and found not to be UTF-8 further on
  // starts over otherwise), and not checked again. Unknown for bytes not read before; text is never checked.
  Utf8Verdict utf8 = Utf8Verdict::Unknown;
};

// The UTF-8 byte order mark, and a str's U+FEFF.
inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
inline constexpr char32_t kByteOrderMark = 0xFEFF;

// The single-byte encoding a reading with `options` takes bytes for that are not UTF-8 (and have no UTF-16 mark):
// cp866 where the options read a declared DOS and the bytes declare it (declares_dos), else windows-1251.
Encoding single_byte_reading(std::string_view bytes, const ReadOptions& options) noexcept;

class TextSource {
 public:
  // Statement bytes. Valid UTF-8 is read in place: unless it is known to be valid, the first piece decides and
  // the others are checked when they are made, and a piece that is not UTF-8 fails with NotUtf8 (the bytes are
  // then to be opened again as Invalid). Anything else is decoded by the WHATWG rule with windows-1251 as the
  // fallback (a leading byte order mark selects UTF-8 or UTF-16 instead; the options may choose cp866) and must
  // be plausible statement text; NotStatement otherwise. `input` must outlive the source.
  static Result<TextSource, StatementError> of_bytes(std::string_view input, const ReadOptions& options,
                                                     Utf8Verdict utf8 = Utf8Verdict::Unknown);
  // Text given as code points, taken as UTF-8 (after a leading U+FEFF where the options skip the mark); a piece
  // holding a lone surrogate fails with NotUtf8. `text` must outlive the source.
  static TextSource of_code_points(CodePoints text, const ReadOptions& options);

  TextSource(TextSource&&) noexcept = default;
  TextSource& operator=(TextSource&&) noexcept = default;

  // The encoding the statement was read in, as its reading reports it.
  Encoding encoding() const noexcept { return encoding_; }
  // How the pieces are written: UTF-8, or windows-1251 bytes as they lie in the input.
  Encoding text_encoding() const noexcept { return kind_ == Kind::Cp1251InPlace ? Encoding::Cp1251 : Encoding::Utf8; }
  const ReadOptions& options() const noexcept { return options_; }
  // About how many bytes the whole text takes (for sizing what the reading builds).
  std::size_t size_hint() const noexcept { return size_hint_; }

  // The next piece of whole lines (ending with a line feed, except perhaps the last), empty at the end. It
  // stays valid until release_before() is told a position after it.
  Result<std::string_view, StatementError> next_piece();
  // Nothing before `position` (in a piece given) will be looked at again: the pieces before it may be used
  // again for the text to come.
  void release_before(const char* position) noexcept { release_mark_ = position; }
  // Checks the input not yet made into pieces without making text of it: NotUtf8 where it has no UTF-8 form
  // although it was taken to have one. Afterwards the source is at its end.
  Status<StatementError> check_rest();

 private:
  enum class Kind : unsigned char { Utf8InPlace, Cp1251InPlace, Whole, CodePointsToUtf8, Cp866ToUtf8 };
  struct Buffer {
    std::unique_ptr<char[]> bytes;
    std::size_t capacity = 0;
    std::size_t used = 0;
  };

  TextSource(Kind kind, Encoding encoding, const ReadOptions& options) noexcept
      : kind_(kind), encoding_(encoding), options_(options) {}
  // The next piece of input (at least `size` bytes or code points, up to a line end): in place, or made into
  // a buffer. Empty at the end.
  Result<std::string_view, StatementError> make_piece(std::size_t size);
  // A buffer for `size` bytes of text, appended to the live ones: a spare one large enough, or a new one.
  Buffer& buffer_for(std::size_t size);
  // Moves the live buffers wholly before the release mark to the spares.
  void reclaim() noexcept;

  Kind kind_;
  Encoding encoding_;
  ReadOptions options_;
  std::size_t size_hint_ = 0;
  std::string_view first_;       // a piece checked when the source was opened, handed out first
  bool unchecked_ = false;       // UTF-8 known to be valid: its pieces are not checked again
  std::string_view rest_;        // input bytes not made into pieces yet
  CodePoints rest_points_;       // or code points
  std::deque<Buffer> live_;      // buffers holding pieces handed out, in text order
  std::vector<Buffer> spare_;    // buffers free to be used again
  const char* release_mark_ = nullptr;
};

}  // namespace quorlane

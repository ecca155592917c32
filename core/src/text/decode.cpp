// Choosing how to read the input: valid UTF-8 as it is, otherwise the WHATWG "decode" with windows-1251
// as the fallback encoding, followed by the plausibility check.
#include "quorlane/decode.h"

#include <cstdint>
#include <cstring>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <utility>

#include "decoders.h"
#include "quorlane/lines.h"

namespace quorlane {
namespace {

constexpr std::string_view kFirstLine = "1CClientBankExchange";

bool starts_with_bytes(std::string_view input, std::string_view prefix) noexcept {
  return input.substr(0, prefix.size()) == prefix;
}

Result<DecodedInput, StatementError> finish(detail::DecodedBytes decoded) {
  if (decoded.malformed) return Err(StatementError(NotStatement{}));
  const std::string_view text(decoded.bytes.get(), decoded.size);
  if (!detail::is_plausible(text)) return Err(StatementError(NotStatement{}));
  return DecodedInput::owned(std::move(decoded.bytes), decoded.size);
}

}  // namespace

std::string_view encoding_name(Encoding encoding) noexcept {
  return encoding == Encoding::Utf8 ? "utf-8" : "cp1251";
}

DecodedInput::DecodedInput(std::string_view text, Encoding encoding, std::unique_ptr<char[]> storage) noexcept
    : text_(text), encoding_(encoding), storage_(std::move(storage)) {}

void DecodedInput::release_before(const char* position) noexcept {
#if defined(__linux__) && defined(MADV_DONTNEED)
  // Large steps only: a system call per section would cost more than the memory is worth.
  constexpr std::size_t kStep = std::size_t{8} << 20;
  if (!storage_ || position < text_.data() || position > text_.data() + text_.size()) return;
  const auto base = reinterpret_cast<std::uintptr_t>(storage_.get());
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const std::uintptr_t from = (base + released_ + page - 1) & ~(page - 1);
  const std::uintptr_t to = reinterpret_cast<std::uintptr_t>(position) & ~(page - 1);
  if (to < from + kStep) return;
  if (madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED) == 0) released_ = to - base;
#else
  (void)position;
#endif
}

DecodedInput DecodedInput::in_place(std::string_view utf8_input) noexcept {
  return DecodedInput(utf8_input, Encoding::Utf8, nullptr);
}

DecodedInput DecodedInput::owned(std::unique_ptr<char[]> bytes, std::size_t size) noexcept {
  const std::string_view text(bytes.get(), size);
  return DecodedInput(text, Encoding::Cp1251, std::move(bytes));
}

bool DecodedInput::decode_rest() {
  // The text so far and then the rest's, written by `convert` (its end, or null when it fails), in a new
  // buffer with room for `rest_room` more bytes.
  const auto into_whole = [this](std::size_t rest_room, auto convert) {
    std::unique_ptr<char[]> whole = detail::fresh_buffer(text_.size() + rest_room + detail::kDecodeSlack);
    std::memcpy(whole.get(), text_.data(), text_.size());
    const char* end = convert(whole.get() + text_.size());
    if (end == nullptr) return false;
    storage_ = std::move(whole);
    text_ = std::string_view(storage_.get(), static_cast<std::size_t>(end - storage_.get()));
    released_ = 0;
    undecoded_ = {};
    undecoded_points_ = {};
    return true;
  };
  if (undecoded_points_.count != 0) {
    return into_whole(detail::utf8_bytes_per_point(undecoded_points_.width) * undecoded_points_.count,
                      [this](char* out) -> const char* { return detail::code_points_to_utf8(undecoded_points_, out); });
  }
  if (undecoded_.empty()) return true;
  if (encoding_ == Encoding::Utf8) {
    if (!is_valid_utf8(undecoded_)) return false;
    text_ = std::string_view(text_.data(), text_.size() + undecoded_.size());  // the input, in place
    undecoded_ = {};
    return true;
  }
  return into_whole(detail::cp1251_decoded_size(undecoded_),
                    [this](char* out) -> const char* { return detail::decode_cp1251_into(undecoded_, out); });
}

// An input that is not valid UTF-8.
static Result<DecodedInput, StatementError> decode_fallback(std::string_view input) {
  // Not valid UTF-8 as a whole, yet it begins with the complete sequence EF BB BF: whatever follows the
  // mark is then malformed, so the UTF-8 decoder it selects would always fail.
  if (input.size() > 2 && starts_with_bytes(input, "\xEF\xBB\xBF")) return Err(StatementError(NotStatement{}));
  if (input.size() >= 2 && starts_with_bytes(input, "\xFF\xFE")) {
    return finish(detail::decode_utf16(input.substr(2), /*big_endian=*/false));
  }
  if (input.size() >= 2 && starts_with_bytes(input, "\xFE\xFF")) {
    return finish(detail::decode_utf16(input.substr(2), /*big_endian=*/true));
  }
  return finish(detail::decode_cp1251(input));
}

Result<DecodedInput, StatementError> decode_input(std::string_view input) {
  if (is_valid_utf8(input)) return DecodedInput::in_place(input);
  return decode_fallback(input);
}

Result<DecodedInput, StatementError> decode_input_lazily(std::string_view input, std::size_t utf8_piece) {
  const std::size_t first_piece = whole_lines_prefix(input, utf8_piece);
  if (is_valid_utf8(input.substr(0, first_piece))) {
    DecodedInput decoded = DecodedInput::in_place(input.substr(0, first_piece));
    decoded.undecoded_ = input.substr(first_piece);
    return decoded;
  }
  // The plausibility check looks at this many characters, which are as many windows-1251 bytes.
  constexpr std::size_t kCheckedBytes = 20480;
  if (input.size() <= kCheckedBytes || starts_with_bytes(input, "\xEF\xBB\xBF") ||
      starts_with_bytes(input, "\xFF\xFE") || starts_with_bytes(input, "\xFE\xFF")) {
    return decode_fallback(input);
  }
  // The first piece ends with a whole line, so that the first line is complete in it.
  const std::size_t first = whole_lines_prefix(input, kCheckedBytes);
  detail::DecodedBytes piece = detail::decode_cp1251(input.substr(0, first));
  const std::string_view text(piece.bytes.get(), piece.size);  // before the buffer moves into the result
  DecodedInput decoded(text, Encoding::Cp1251, std::move(piece.bytes));
  decoded.undecoded_ = input.substr(first);
  if (!detail::is_plausible(decoded.text())) {
    return Err(StatementError(NotStatement{}));
  }
  return decoded;
}

std::optional<DecodedInput> take_text_lazily(CodePoints text, std::size_t first_piece) {
  const std::size_t first = detail::code_points_whole_lines(text, first_piece);
  std::unique_ptr<char[]> storage =
      detail::fresh_buffer(detail::utf8_bytes_per_point(text.width) * first + detail::kDecodeSlack);
  const char* end = detail::code_points_to_utf8(detail::code_points_slice(text, 0, first), storage.get());
  if (end == nullptr) return std::nullopt;
  const std::string_view utf8(storage.get(), static_cast<std::size_t>(end - storage.get()));
  DecodedInput decoded(utf8, Encoding::Utf8, std::move(storage));
  decoded.undecoded_points_ = detail::code_points_slice(text, first, text.count - first);
  return decoded;
}

Status<StatementError> check_first_line(std::string_view text) {
  std::size_t pos = 0;
  std::string_view line;
  if (!next_line(text, pos, line) || line != kFirstLine) return Err(StatementError(NotStatement{}));
  return {};
}

}  // namespace quorlane

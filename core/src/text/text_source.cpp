// The text source: which decoder a statement needs (the WHATWG "decode" with windows-1251 as the fallback
// encoding, after checking for UTF-8), and its text handed out a piece at a time.
#include "quorlane/text_source.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <utility>

#include "memory/fresh_buffer.h"
#include "quorlane/declared_encoding.h"
#include "quorlane/plausibility.h"
#include "text/decoders.h"

namespace quorlane {
namespace {

// The size of the shortest start of `text` that holds at least `least` bytes and ends with a line feed (all
// of the text when there is none): a piece of whole lines.
std::size_t whole_lines_prefix(std::string_view text, std::size_t least) noexcept {
  if (least == 0) least = 1;
  if (text.size() <= least) return text.size();
  const auto* lf = static_cast<const char*>(std::memchr(text.data() + least - 1, '\n', text.size() - (least - 1)));
  return lf != nullptr ? static_cast<std::size_t>(lf - text.data()) + 1 : text.size();
}

}  // namespace

std::string_view encoding_name(Encoding encoding) noexcept {
  switch (encoding) {
    case Encoding::Utf8: return "utf-8";
    case Encoding::Cp1251: return "cp1251";
    case Encoding::Cp866: return "cp866";
  }
  return "";
}

Encoding single_byte_reading(std::string_view bytes, const ReadOptions& options) noexcept {
  return options.read_declared_dos && declares_dos(bytes) ? Encoding::Cp866 : Encoding::Cp1251;
}

Result<TextSource, StatementError> TextSource::of_bytes(std::string_view input, const ReadOptions& options,
                                                        Utf8Verdict utf8) {
  const bool marked = options.skip_utf8_bom && input.starts_with(kUtf8Bom);
  if (marked) input.remove_prefix(kUtf8Bom.size());
  if (utf8 != Utf8Verdict::Invalid) {
    const std::string_view first = input.substr(0, whole_lines_prefix(input, options.piece_size));
    if (utf8 == Utf8Verdict::Valid || is_valid_utf8(first)) {
      TextSource source(Kind::Utf8InPlace, Encoding::Utf8, options);
      source.first_ = first;
      source.rest_ = input.substr(first.size());
      source.size_hint_ = input.size();
      source.unchecked_ = utf8 == Utf8Verdict::Valid;
      return source;
    }
  }
  // From here on the input is not valid UTF-8 as a whole. After the three-byte mark the UTF-8 decoder it
  // selects would therefore meet a malformed sequence.
  if (marked || input.starts_with(kUtf8Bom)) return Err(StatementError(NotStatement{}));
  const bool little_endian = input.starts_with("\xFF\xFE");
  if (little_endian || input.starts_with("\xFE\xFF")) {
    const std::string_view units = input.substr(2);
    TextSource source(Kind::Whole, Encoding::Cp1251, options);
    Buffer& buffer = source.buffer_for(units.size() / 2 * detail::kUtf16MaxBytesPerUnit + detail::kDecodeSlack);
    auto end = detail::decode_utf16_into(units, !little_endian, buffer.bytes.get());
    if (!end) return Err(std::move(end).error());
    buffer.used = static_cast<std::size_t>(end.value() - buffer.bytes.get());
    source.first_ = std::string_view(buffer.bytes.get(), buffer.used);
    if (!is_plausible(source.first_)) return Err(StatementError(NotStatement{}));
    source.size_hint_ = buffer.used;
    return source;
  }
  // A byte a character: windows-1251 read where it lies, or cp866 made into UTF-8 a piece at a time. Only the
  // characters the plausibility check examines are decoded here.
  const Encoding encoding = single_byte_reading(input, options);
  if (!is_plausible(to_utf8(input.substr(0, kPlausibilityChars), encoding))) return Err(StatementError(NotStatement{}));
  TextSource source(encoding == Encoding::Cp866 ? Kind::Cp866ToUtf8 : Kind::Cp1251InPlace, encoding, options);
  source.rest_ = input;
  source.size_hint_ = input.size();
  return source;
}

TextSource TextSource::of_code_points(CodePoints text, const ReadOptions& options) {
  const bool marked = options.skip_utf8_bom && text.count > 0 &&
                      with_units(text, [](const auto* units, std::size_t) { return units[0] == kByteOrderMark; });
  if (marked) text = detail::code_points_slice(text, 1, text.count - 1);
  TextSource source(Kind::CodePointsToUtf8, Encoding::Utf8, options);
  source.rest_points_ = text;
  source.size_hint_ = text.count * text.width;
  return source;
}

Result<std::string_view, StatementError> TextSource::next_piece() {
  if (!first_.empty()) return std::exchange(first_, std::string_view());
  return make_piece(options_.piece_size);
}

Result<std::string_view, StatementError> TextSource::make_piece(std::size_t size) {
  switch (kind_) {
    case Kind::Whole:
      return std::string_view();
    case Kind::Utf8InPlace: {
      const std::string_view piece = rest_.substr(0, whole_lines_prefix(rest_, size));
      rest_.remove_prefix(piece.size());
      if (!unchecked_ && !is_valid_utf8(piece)) {
        rest_ = {};
        return Err(StatementError(NotUtf8{}));
      }
      return piece;
    }
    case Kind::Cp1251InPlace: {
      const std::string_view piece = rest_.substr(0, whole_lines_prefix(rest_, size));
      rest_.remove_prefix(piece.size());
      return piece;
    }
    case Kind::Cp866ToUtf8: {
      if (rest_.empty()) return std::string_view();
      const std::string_view input = rest_.substr(0, whole_lines_prefix(rest_, size));
      rest_.remove_prefix(input.size());
      Buffer& buffer = buffer_for(utf8_room(input.size()));
      buffer.used = static_cast<std::size_t>(write_utf8(input, Encoding::Cp866, buffer.bytes.get()) - buffer.bytes.get());
      return std::string_view(buffer.bytes.get(), buffer.used);
    }
    case Kind::CodePointsToUtf8: {
      if (rest_points_.count == 0) return std::string_view();
      const std::size_t count = detail::code_points_whole_lines(rest_points_, size);
      const CodePoints input = detail::code_points_slice(rest_points_, 0, count);
      rest_points_ = detail::code_points_slice(rest_points_, count, rest_points_.count - count);
      Buffer& buffer = buffer_for(utf8_room(input));
      auto end = detail::code_points_to_utf8(input, buffer.bytes.get());
      if (!end) {
        rest_points_ = {};
        return Err(std::move(end).error());
      }
      buffer.used = static_cast<std::size_t>(end.value() - buffer.bytes.get());
      return std::string_view(buffer.bytes.get(), buffer.used);
    }
  }
  return std::string_view();  // unreachable: every kind is handled above
}

Status<StatementError> TextSource::check_rest() {
  first_ = {};
  const bool has_utf8_form = kind_ == Kind::Utf8InPlace        ? unchecked_ || is_valid_utf8(rest_)
                             : kind_ == Kind::CodePointsToUtf8 ? !detail::has_lone_surrogate(rest_points_)
                                                               : true;
  rest_ = {};
  rest_points_ = {};
  if (!has_utf8_form) return Err(StatementError(NotUtf8{}));
  return {};
}

TextSource::Buffer& TextSource::buffer_for(std::size_t size) {
  reclaim();
  const auto spare = std::find_if(spare_.begin(), spare_.end(), [&](const Buffer& b) { return b.capacity >= size; });
  if (spare != spare_.end()) {
    live_.push_back(std::move(*spare));
    spare_.erase(spare);
  } else {
    // Pieces end at line ends, so some are larger than the others; the usual size serves most of them.
    const std::size_t capacity = std::max(size, 4 * options_.piece_size + detail::kDecodeSlack);
    live_.push_back(Buffer{detail::fresh_buffer(capacity), capacity, 0});
  }
  live_.back().used = 0;
  return live_.back();
}

void TextSource::reclaim() noexcept {
  if (release_mark_ == nullptr) return;
  // Pointers into different buffers are compared as addresses (std::less orders them all).
  const std::less<const char*> before;
  std::size_t holder = 0;
  while (holder < live_.size()) {
    const char* begin = live_[holder].bytes.get();
    if (!before(release_mark_, begin) && before(release_mark_, begin + live_[holder].used)) break;
    ++holder;
  }
  if (holder == live_.size()) return;  // the mark is in no buffer: the text is read in place
  // The buffers before it are kept as spares: freeing one only to allocate another would write fresh memory.
  for (std::size_t i = 0; i < holder; ++i) {
    spare_.push_back(std::move(live_.front()));
    live_.pop_front();
  }
}

}  // namespace quorlane

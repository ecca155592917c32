// Building one column of one batch, a value at a time, in the layout of the Arrow columnar format: a text column
// as 32-bit offsets and UTF-8 bytes, a fixed-width column as its values, and a validity bitmap that is only made
// once a value turns out null.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>
#include <utility>

#include "quorlane/arrow_table.h"
#include "quorlane/decode.h"

namespace quorlane {

class ColumnBuilder {
 public:
  // A column of values `width` bytes wide, or of texts when `width` is 0; room is made for about `rows` values
  // and, for texts, `text_bytes` bytes (only what is written takes memory).
  ColumnBuilder(std::size_t width, std::size_t rows, std::size_t text_bytes = 0) : width_(width) {
    column_.has_text = width == 0;
    if (column_.has_text) {
      column_.values.reserve((rows + 1) * sizeof(std::int32_t));
      column_.values.push(std::int32_t{0});
      column_.text.try_reserve(text_bytes);
    } else {
      column_.values.reserve(rows * width);
    }
  }

  std::int64_t length() const noexcept { return length_; }
  std::size_t text_size() const noexcept { return column_.text.size(); }

  // A text written in `encoding`, kept as UTF-8; returns the bytes it takes. A column that passes 2^31 - 1 bytes
  // has a wrong last offset, until the caller takes the value back (pop()).
  std::size_t text(std::string_view text, quorlane::Encoding encoding) {
    const std::size_t room = encoding == quorlane::Encoding::Utf8 ? text.size() : quorlane::utf8_room(text.size());
    char* out = column_.text.room(room);
    const auto written = static_cast<std::size_t>(quorlane::write_utf8(text, encoding, out) - out);
    column_.text.advance(written);
    column_.values.push(static_cast<std::int32_t>(column_.text.size()));
    valid();
    return written;
  }

  // Takes the last value back.
  void pop() noexcept {
    --length_;
    if (column_.has_text) {
      column_.values.truncate(column_.values.size() - sizeof(std::int32_t));
      std::int32_t end = 0;
      std::memcpy(&end, column_.values.bytes() + column_.values.size() - sizeof(end), sizeof(end));
      column_.text.truncate(static_cast<std::size_t>(end));
    } else {
      column_.values.truncate(column_.values.size() - width_);
    }
    if (column_.null_count == 0) return;
    auto& byte = reinterpret_cast<unsigned char*>(column_.validity.bytes())[length_ >> 3];
    const auto bit = static_cast<unsigned char>(1u << (length_ & 7));
    if ((byte & bit) == 0) --column_.null_count;
    byte &= static_cast<unsigned char>(~bit);
    column_.validity.truncate(column_.null_count == 0 ? 0 : static_cast<std::size_t>((length_ + 7) / 8));
  }

  // A value of the column's width.
  template <class T>
  void value(const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    column_.values.push(value);
    valid();
  }

  // A value of the column's width, as bytes.
  void bytes(const char* value) {
    std::memcpy(column_.values.room(width_), value, width_);
    column_.values.advance(width_);
    valid();
  }

  // An absent value: an empty text, or zeros (so that no byte a consumer may read is left undefined).
  void null() {
    if (column_.has_text) {
      column_.values.push(static_cast<std::int32_t>(column_.text.size()));
    } else {
      std::memset(column_.values.room(width_), 0, width_);
      column_.values.advance(width_);
    }
    if (column_.null_count++ == 0) {
      start_bitmap();
    } else {
      next_bit();
    }
    ++length_;
  }

  ArrowColumn finish() {
    column_.values.shrink();
    column_.text.shrink();
    return std::move(column_);
  }

 private:
  void valid() {
    if (column_.null_count != 0) {
      next_bit();
      column_.validity.bytes()[length_ >> 3] |= static_cast<char>(1u << (length_ & 7));
    }
    ++length_;
  }

  // Room for the bit of value `length_`, cleared.
  void next_bit() {
    if ((length_ & 7) == 0) column_.validity.push(static_cast<unsigned char>(0));
  }

  // At the first null, value `length_`: the bits of every value before it set, its own clear.
  void start_bitmap() {
    const auto bytes = static_cast<std::size_t>(length_ / 8 + 1);
    auto* bits = reinterpret_cast<unsigned char*>(column_.validity.room(bytes));
    std::memset(bits, 0xFF, bytes - 1);
    bits[bytes - 1] = static_cast<unsigned char>((1u << (length_ & 7)) - 1);
    column_.validity.advance(bytes);
  }

  ArrowColumn column_;
  std::size_t width_;
  std::int64_t length_ = 0;
};

// Rows [begin, end) of a finished column whose values are `width` bytes wide (0: texts), copied into a column of
// their own.
inline ArrowColumn rows_of(const ArrowColumn& column, std::size_t width, std::size_t begin, std::size_t end) {
  const auto* valid = reinterpret_cast<const unsigned char*>(column.validity.data());
  const auto* values = static_cast<const char*>(column.values.data());
  const auto is_null = [&](std::size_t row) { return column.null_count != 0 && (valid[row >> 3] >> (row & 7) & 1) == 0; };
  if (width == 0) {
    const auto* offsets = reinterpret_cast<const std::int32_t*>(values);
    const auto* text = static_cast<const char*>(column.text.data());
    ColumnBuilder out(0, end - begin, static_cast<std::size_t>(offsets[end] - offsets[begin]));
    for (std::size_t row = begin; row < end; ++row) {
      if (is_null(row)) {
        out.null();
      } else {
        out.text(std::string_view(text + offsets[row], static_cast<std::size_t>(offsets[row + 1] - offsets[row])),
                 quorlane::Encoding::Utf8);
      }
    }
    return out.finish();
  }
  ColumnBuilder out(width, end - begin);
  for (std::size_t row = begin; row < end; ++row) {
    if (is_null(row)) {
      out.null();
    } else {
      out.bytes(values + row * width);
    }
  }
  return out.finish();
}

}  // namespace quorlane

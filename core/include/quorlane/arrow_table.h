// An Arrow table as the package builds it: the names and types of its columns, and its record batches, each
// column's buffers in the layout of the Arrow columnar format. Immutable once made and shared by a reference
// count with every export of it, so that a consumer's release callback, which may run on any thread and without
// the interpreter lock, frees it with its last user. Knows nothing of statements.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "quorlane/arrow_abi.h"

namespace quorlane {

// The memory of one buffer, written front to back. A large one is mapped (on Linux) with the advice to back it
// by huge pages, and grows by remapping, without a copy: writing fresh memory is most of what building the
// columns costs.
class ArrowBuffer {
 public:
  ArrowBuffer() = default;
  ArrowBuffer(ArrowBuffer&& other) noexcept;
  ArrowBuffer& operator=(ArrowBuffer&& other) noexcept;
  ArrowBuffer(const ArrowBuffer&) = delete;
  ArrowBuffer& operator=(const ArrowBuffer&) = delete;
  ~ArrowBuffer() { clear(); }

  // Room for `more` bytes after the end, to be committed with advance(); throws std::bad_alloc.
  char* room(std::size_t more) {
    if (capacity_ - size_ < more) grow(more);
    return data_ + size_;
  }
  void advance(std::size_t bytes) noexcept { size_ += bytes; }
  void truncate(std::size_t size) noexcept { size_ = size; }
  template <class T>
  void push(const T& value) {
    char* out = room(sizeof(T));
    std::memcpy(out, &value, sizeof(T));
    size_ += sizeof(T);
  }
  // At least `capacity` bytes in all, before the writing starts.
  void reserve(std::size_t capacity);
  // The same as a wish: where the system will not give that much, the buffer grows as it is written.
  void try_reserve(std::size_t capacity) noexcept {
    try {
      reserve(capacity);
    } catch (const std::bad_alloc&) {
    }
  }
  // Gives back what is left unwritten, when that is much.
  void shrink() noexcept;
  void clear() noexcept;

  const void* data() const noexcept { return data_; }
  char* bytes() noexcept { return data_; }
  std::size_t size() const noexcept { return size_; }

 private:
  void grow(std::size_t more);

  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
  bool mapped_ = false;  // mapped (capacity_ bytes) rather than taken with malloc
};

struct ArrowField {
  std::string name;    // UTF-8
  std::string format;  // the format string of the C data interface: "u", "tdD", "d:38,2", "l"
  bool nullable = false;
};

// One column of one batch: the validity bitmap (left empty when no value is null), the values (the offsets,
// for text) and, for text, the bytes.
struct ArrowColumn {
  std::int64_t null_count = 0;
  bool has_text = false;
  ArrowBuffer validity;
  ArrowBuffer values;
  ArrowBuffer text;
};

struct ArrowBatch {
  std::int64_t length = 0;
  std::vector<ArrowColumn> columns;  // one for each field of the table, in its order
};

struct ArrowTable {
  std::vector<ArrowField> fields;
  std::vector<ArrowBatch> batches;

  std::int64_t rows() const noexcept;
};

using SharedTable = std::shared_ptr<const ArrowTable>;

// Each fills `out`, whose release callback the consumer calls when done; until then the export keeps what it
// hands out alive. Both throw std::bad_alloc, leaving `out` released.
void export_schema(const ArrowTable& table, ArrowSchema* out);
void export_stream(SharedTable table, ArrowArrayStream* out);

}  // namespace quorlane

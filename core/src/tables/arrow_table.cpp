// Exporting a table through the C data and C stream interfaces. Every exported struct owns its own private
// data, children included, so that a consumer may move a child out and release it on its own, as the interface
// allows; a parent's release releases the children still in place.
#include "quorlane/arrow_table.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "quorlane/huge_pages.h"

namespace quorlane {

namespace {

// From this size on a buffer is mapped: below it, the heap serves better.
constexpr std::size_t kMappedFrom = std::size_t{1} << 20;

#if defined(__linux__)
constexpr bool kCanMap = true;

// A buffer of a large statement's column is mapped in whole huge pages from its start: its first write takes a
// huge page at once. A smaller one starts with small pages (huge pages back what lies in whole aligned 2 MiB
// pieces), so that the short columns of small statements do not each take, and clear, 2 MiB.
constexpr std::size_t kHugeFrom = std::size_t{64} << 20;

std::size_t mapped_size(std::size_t size) noexcept {
  return size >= kHugeFrom ? quorlane::whole_huge_pages(size) : (size + 4095) & ~std::size_t{4095};
}

// `size` is a mapped_size().
void* map_bytes(std::size_t size) noexcept {
  if (size >= kHugeFrom) return quorlane::map_huge_backed(size);
  void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (memory == MAP_FAILED) return nullptr;
  quorlane::advise_huge_pages(memory, size);
  return memory;
}

void unmap_bytes(void* memory, std::size_t size) noexcept { munmap(memory, size); }

// Moves the pages where the system can; some kernels refuse to move pages that huge pages back, and there the
// bytes are copied into a fresh mapping.
void* remap_bytes(void* memory, std::size_t size, std::size_t larger) noexcept {
  void* moved = mremap(memory, size, larger, MREMAP_MAYMOVE);
  if (moved != MAP_FAILED) {
    quorlane::advise_huge_pages(moved, larger);
    return moved;
  }
  moved = map_bytes(larger);
  if (moved == nullptr) return nullptr;
  std::memcpy(moved, memory, size);
  unmap_bytes(memory, size);
  return moved;
}
#else
constexpr bool kCanMap = false;
std::size_t mapped_size(std::size_t size) noexcept { return size; }
void* map_bytes(std::size_t) noexcept { return nullptr; }
void* remap_bytes(void*, std::size_t, std::size_t) noexcept { return nullptr; }
void unmap_bytes(void*, std::size_t) noexcept {}
#endif

// Whole pages of 4 KiB.
constexpr std::size_t whole_pages(std::size_t size) noexcept { return (size + 4095) & ~std::size_t{4095}; }

}  // namespace

ArrowBuffer::ArrowBuffer(ArrowBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)),
      mapped_(std::exchange(other.mapped_, false)) {}

ArrowBuffer& ArrowBuffer::operator=(ArrowBuffer&& other) noexcept {
  if (this != &other) {
    clear();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
    mapped_ = std::exchange(other.mapped_, false);
  }
  return *this;
}

void ArrowBuffer::reserve(std::size_t capacity) {
  if (capacity <= capacity_) return;
  if (kCanMap && capacity >= kMappedFrom) {
    capacity = mapped_size(capacity);
    void* memory = nullptr;
    if (mapped_) {
      memory = remap_bytes(data_, capacity_, capacity);
    } else if ((memory = map_bytes(capacity)) != nullptr && size_ != 0) {
      std::memcpy(memory, data_, size_);
    }
    if (memory == nullptr) throw std::bad_alloc();
    if (!mapped_) std::free(data_);
    data_ = static_cast<char*>(memory);
    capacity_ = capacity;
    mapped_ = true;
    return;
  }
  void* moved = std::realloc(data_, capacity);
  if (moved == nullptr) throw std::bad_alloc();
  data_ = static_cast<char*>(moved);
  capacity_ = capacity;
}

void ArrowBuffer::grow(std::size_t more) {
  constexpr std::size_t kLeast = 64;
  if (more > SIZE_MAX / 2 - size_) throw std::bad_alloc();
  std::size_t capacity = capacity_ * 2;
  if (capacity < size_ + more) capacity = size_ + more;
  reserve(capacity < kLeast ? kLeast : capacity);
}

void ArrowBuffer::shrink() noexcept {
  // What was never written costs no memory, but a mapped buffer gives back its unwritten pages all the same, so
  // that the figure a system shows is the table's.
  if (!mapped_) return;
  const std::size_t kept = whole_pages(size_ == 0 ? 1 : size_);
  if (kept < capacity_) {
    unmap_bytes(data_ + kept, capacity_ - kept);
    capacity_ = kept;
  }
}

void ArrowBuffer::clear() noexcept {
  if (mapped_) {
    unmap_bytes(data_, capacity_);
  } else {
    std::free(data_);
  }
  data_ = nullptr;
  size_ = capacity_ = 0;
  mapped_ = false;
}

std::int64_t ArrowTable::rows() const noexcept {
  std::int64_t rows = 0;
  for (const ArrowBatch& batch : batches) rows += batch.length;
  return rows;
}

namespace {

// What a buffer that was never written hands out: consumers may read nothing from it, but some want a pointer.
alignas(64) const unsigned char kNoBytes[64] = {};

const void* pointer_of(const ArrowBuffer& buffer) noexcept {
  return buffer.data() != nullptr ? buffer.data() : kNoBytes;
}

// ---- schemas ----

struct SchemaNode {
  std::string format;
  std::string name;
  std::vector<ArrowSchema> child_structs;
  std::vector<ArrowSchema*> children;
};

void release_schema(ArrowSchema* schema) noexcept {
  auto* node = static_cast<SchemaNode*>(schema->private_data);
  for (ArrowSchema* child : node->children) {
    if (child->release != nullptr) child->release(child);
  }
  delete node;
  schema->release = nullptr;
}

void fill_schema(ArrowSchema* out, std::unique_ptr<SchemaNode> node, std::int64_t flags) noexcept {
  out->format = node->format.c_str();
  out->name = node->name.c_str();
  out->metadata = nullptr;
  out->flags = flags;
  out->n_children = static_cast<std::int64_t>(node->children.size());
  out->children = node->children.empty() ? nullptr : node->children.data();
  out->dictionary = nullptr;
  out->release = release_schema;
  out->private_data = node.release();
}

// ---- arrays ----

struct ArrayNode {
  SharedTable table;  // the owner of the buffers
  const void* buffers[3] = {nullptr, nullptr, nullptr};
  std::vector<ArrowArray> child_structs;
  std::vector<ArrowArray*> children;
};

void release_array(ArrowArray* array) noexcept {
  auto* node = static_cast<ArrayNode*>(array->private_data);
  for (ArrowArray* child : node->children) {
    if (child->release != nullptr) child->release(child);
  }
  delete node;
  array->release = nullptr;
}

void fill_array(ArrowArray* out, std::unique_ptr<ArrayNode> node, std::int64_t length, std::int64_t null_count,
                std::int64_t buffer_count) noexcept {
  out->length = length;
  out->null_count = null_count;
  out->offset = 0;
  out->n_buffers = buffer_count;
  out->buffers = node->buffers;
  out->n_children = static_cast<std::int64_t>(node->children.size());
  out->children = node->children.empty() ? nullptr : node->children.data();
  out->dictionary = nullptr;
  out->release = release_array;
  out->private_data = node.release();
}

// One batch as a struct array whose children are its columns.
void export_batch(const SharedTable& table, std::size_t index, ArrowArray* out) {
  out->release = nullptr;
  const ArrowBatch& batch = table->batches[index];
  const std::size_t count = batch.columns.size();
  // Everything that may throw comes first; the filling after it cannot fail.
  auto top = std::make_unique<ArrayNode>();
  top->table = table;
  top->child_structs.resize(count);
  top->children.resize(count);
  std::vector<std::unique_ptr<ArrayNode>> nodes(count);
  for (std::unique_ptr<ArrayNode>& node : nodes) {
    node = std::make_unique<ArrayNode>();
    node->table = table;
  }
  for (std::size_t i = 0; i < count; ++i) {
    const ArrowColumn& column = batch.columns[i];
    ArrayNode& node = *nodes[i];
    node.buffers[0] = column.null_count == 0 ? nullptr : pointer_of(column.validity);
    node.buffers[1] = pointer_of(column.values);
    node.buffers[2] = column.has_text ? pointer_of(column.text) : nullptr;
    top->children[i] = &top->child_structs[i];
    fill_array(top->children[i], std::move(nodes[i]), batch.length, column.null_count, column.has_text ? 3 : 2);
  }
  fill_array(out, std::move(top), batch.length, 0, 1);
}

// ---- streams ----

struct StreamState {
  SharedTable table;
  std::size_t next = 0;
  const char* error = nullptr;
};

constexpr const char* kOutOfMemory = "out of memory while exporting a quorlane table";

int stream_get_schema(ArrowArrayStream* stream, ArrowSchema* out) noexcept {
  auto* state = static_cast<StreamState*>(stream->private_data);
  try {
    export_schema(*state->table, out);
  } catch (const std::bad_alloc&) {
    state->error = kOutOfMemory;
    return ENOMEM;
  }
  return 0;
}

int stream_get_next(ArrowArrayStream* stream, ArrowArray* out) noexcept {
  auto* state = static_cast<StreamState*>(stream->private_data);
  if (state->next == state->table->batches.size()) {
    out->release = nullptr;  // the end of the stream
    return 0;
  }
  try {
    export_batch(state->table, state->next, out);
  } catch (const std::bad_alloc&) {
    state->error = kOutOfMemory;
    return ENOMEM;
  }
  ++state->next;
  return 0;
}

const char* stream_get_last_error(ArrowArrayStream* stream) noexcept {
  return static_cast<StreamState*>(stream->private_data)->error;
}

void release_stream(ArrowArrayStream* stream) noexcept {
  delete static_cast<StreamState*>(stream->private_data);
  stream->release = nullptr;
}

}  // namespace

void export_schema(const ArrowTable& table, ArrowSchema* out) {
  out->release = nullptr;
  const std::size_t count = table.fields.size();
  auto top = std::make_unique<SchemaNode>();
  top->format = "+s";
  top->child_structs.resize(count);
  top->children.resize(count);
  std::vector<std::unique_ptr<SchemaNode>> nodes(count);
  for (std::size_t i = 0; i < count; ++i) {
    nodes[i] = std::make_unique<SchemaNode>();
    nodes[i]->format = table.fields[i].format;
    nodes[i]->name = table.fields[i].name;
  }
  for (std::size_t i = 0; i < count; ++i) {
    top->children[i] = &top->child_structs[i];
    fill_schema(top->children[i], std::move(nodes[i]), table.fields[i].nullable ? ARROW_FLAG_NULLABLE : 0);
  }
  fill_schema(out, std::move(top), 0);
}

void export_stream(SharedTable table, ArrowArrayStream* out) {
  out->release = nullptr;
  auto state = std::make_unique<StreamState>();
  state->table = std::move(table);
  out->get_schema = stream_get_schema;
  out->get_next = stream_get_next;
  out->get_last_error = stream_get_last_error;
  out->release = release_stream;
  out->private_data = state.release();
}

}  // namespace quorlane

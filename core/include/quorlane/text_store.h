// Owned storage for the texts of records: append-only blocks with a reference count, so that a record taken
// out of a reading result (by the Python layer, for instance) keeps its own texts alive and nothing else
// beyond its block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace quorlane {

class TextBlock;

// Shared ownership of one TextBlock. Copying adds a reference; the block is freed with its last reference.
class BlockRef {
 public:
  BlockRef() noexcept = default;
  BlockRef(const BlockRef& other) noexcept;
  BlockRef(BlockRef&& other) noexcept;
  BlockRef& operator=(BlockRef other) noexcept;
  ~BlockRef();

  explicit operator bool() const noexcept { return block_ != nullptr; }
  // Same block (or both empty).
  friend bool operator==(const BlockRef& a, const BlockRef& b) noexcept { return a.block_ == b.block_; }

 private:
  friend class TextStore;
  explicit BlockRef(TextBlock* adopted) noexcept : block_(adopted) {}
  TextBlock* block_ = nullptr;
};

// Copies texts into blocks. A group of texts that must share one block (one record's) is announced with
// reserve(), which returns the block that the next copies of that many bytes in all will land in.
class TextStore {
 public:
  TextStore() noexcept = default;
  // `block_size`: the size of a fresh block unless one text group needs more.
  explicit TextStore(std::size_t block_size) noexcept : block_size_(block_size) {}
  TextStore(const TextStore&) = delete;
  TextStore& operator=(const TextStore&) = delete;
  // A moved-from store is empty (it starts a fresh block on its next copy).
  TextStore(TextStore&& other) noexcept;
  TextStore& operator=(TextStore&& other) noexcept;

  BlockRef reserve(std::size_t total);
  // Copies into the current block; the copy is never null, even for an empty text. The caller must have
  // reserved room for it (or copy() reserves a fresh block itself when there is none).
  std::string_view copy(std::string_view text) {
    if (next_ == nullptr || room_ < text.size()) return copy_to_fresh_block(text);
    char* out = next_;
    if (!text.empty()) {  // an empty view may have a null pointer, which memcpy must not see
      std::memcpy(out, text.data(), text.size());
      next_ += text.size();
      room_ -= text.size();
    }
    return {out, text.size()};
  }
  // Room for one object of `size` bytes aligned to `align`, in the current block; like copy(), it must have
  // been reserved (with align - 1 bytes to spare for the alignment).
  void* place(std::size_t size, std::size_t align) noexcept {
    const std::size_t skip = (align - reinterpret_cast<std::uintptr_t>(next_) % align) % align;
    char* out = next_ + skip;
    next_ = out + size;
    room_ -= skip + size;
    return out;
  }
  // Drops this store's reference to its current block; records keep theirs.
  void clear() noexcept;

 private:
  std::string_view copy_to_fresh_block(std::string_view text);

  static constexpr std::size_t kDefaultBlockSize = 256 * 1024;
  // From the kBlocksBeforeLarge-th block on, a block fills one huge page (see text_store.cpp).
  static constexpr std::size_t kBlocksBeforeLarge = 4;

  BlockRef current_;
  std::size_t block_size_ = kDefaultBlockSize;
  std::size_t blocks_ = 0;  // blocks this store has started
  char* next_ = nullptr;
  std::size_t room_ = 0;
};

}  // namespace quorlane

#include "quorlane/text_store.h"

#include "quorlane/huge_pages.h"

#include <atomic>
#include <cstring>
#include <new>
#include <utility>

namespace quorlane {

// A block header followed by its bytes. The bytes are allocated uninitialised: they are only ever written by
// copies, and zero-filling fresh memory would cost as much as the copies themselves. Large blocks are mapped
// in huge pages of their own (`mapped_` is then their whole size); small ones come from the heap.
class TextBlock {
 public:
  static TextBlock* allocate(std::size_t capacity) {
    if (capacity + sizeof(TextBlock) >= kHugePageSize / 2) {
      const std::size_t size = whole_huge_pages(capacity + sizeof(TextBlock));
      if (void* memory = map_huge_backed(size)) return new (memory) TextBlock(size);
    }
    void* memory = ::operator new(sizeof(TextBlock) + capacity);
    return new (memory) TextBlock(0);
  }
  char* bytes() noexcept { return reinterpret_cast<char*>(this + 1); }

  void add_ref() noexcept { refs_.fetch_add(1, std::memory_order_relaxed); }
  void release() noexcept {
    if (refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
      const std::size_t mapped = mapped_;
      this->~TextBlock();
      if (mapped != 0) {
        unmap_huge_backed(this, mapped);
      } else {
        ::operator delete(static_cast<void*>(this));
      }
    }
  }

 private:
  explicit TextBlock(std::size_t mapped) noexcept : mapped_(mapped) {}
  std::atomic<std::size_t> refs_{1};
  std::size_t mapped_;
};

// A large block's bytes: a huge page less the block's header.
constexpr std::size_t kLargeBlockSize = kHugePageSize - sizeof(TextBlock);

BlockRef::BlockRef(const BlockRef& other) noexcept : block_(other.block_) {
  if (block_ != nullptr) block_->add_ref();
}

BlockRef::BlockRef(BlockRef&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }

BlockRef& BlockRef::operator=(BlockRef other) noexcept {
  TextBlock* old = block_;
  block_ = other.block_;
  other.block_ = old;  // released by `other`'s destructor
  return *this;
}

BlockRef::~BlockRef() {
  if (block_ != nullptr) block_->release();
}

TextStore::TextStore(TextStore&& other) noexcept
    : current_(std::move(other.current_)),
      block_size_(other.block_size_),
      blocks_(std::exchange(other.blocks_, 0)),
      next_(std::exchange(other.next_, nullptr)),
      room_(std::exchange(other.room_, 0)) {}

TextStore& TextStore::operator=(TextStore&& other) noexcept {
  if (this != &other) {
    current_ = std::move(other.current_);
    block_size_ = other.block_size_;
    blocks_ = std::exchange(other.blocks_, 0);
    next_ = std::exchange(other.next_, nullptr);
    room_ = std::exchange(other.room_, 0);
  }
  return *this;
}

BlockRef TextStore::reserve(std::size_t total) {
  if (!current_ || room_ < total) {
    // A store that has filled a few blocks is reading a large statement: from then on its blocks are whole
    // huge pages, which are several times cheaper to fill. Small statements keep small blocks, and so does
    // a caller that keeps one record of them.
    if (++blocks_ == kBlocksBeforeLarge && block_size_ == kDefaultBlockSize) block_size_ = kLargeBlockSize;
    const std::size_t capacity = total > block_size_ ? total : block_size_;
    current_ = BlockRef(TextBlock::allocate(capacity));
    next_ = current_.block_->bytes();
    room_ = capacity;
  }
  return current_;
}

std::string_view TextStore::copy_to_fresh_block(std::string_view text) {
  if (text.empty()) return {"", 0};
  reserve(text.size());
  return copy(text);
}

void TextStore::clear() noexcept {
  current_ = BlockRef();
  next_ = nullptr;
  room_ = 0;
}

}  // namespace quorlane

#include "quorlane/attribute_map.h"

#include <algorithm>
#include <cstring>

namespace quorlane {
namespace {

constexpr std::size_t kMinSlots = 32;

// Keys are short words of the format; their first and last eight bytes and their length tell them apart well
// enough, and hashing a fixed amount of bytes keeps the cost of a line independent of its key's length.
std::uint64_t key_hash(std::string_view key) noexcept {
  const char* p = key.data();
  const std::size_t n = key.size();
  std::uint64_t a = 0;
  std::uint64_t b = 0;
  if (n >= 8) {
    std::memcpy(&a, p, 8);
    std::memcpy(&b, p + n - 8, 8);
  } else if (n >= 4) {
    std::uint32_t x;
    std::uint32_t y;
    std::memcpy(&x, p, 4);
    std::memcpy(&y, p + n - 4, 4);
    a = x;
    b = y;
  } else if (n > 0) {
    a = static_cast<unsigned char>(p[0]) | static_cast<unsigned>(static_cast<unsigned char>(p[n / 2])) << 8 |
        static_cast<unsigned>(static_cast<unsigned char>(p[n - 1])) << 16;
  }
  std::uint64_t h = a ^ (b * 0x9E3779B97F4A7C15ull) ^ n;
  h *= 0xBF58476D1CE4E5B9ull;
  return h ^ (h >> 31);
}

}  // namespace

std::size_t AttributeMap::find_slot(std::string_view key, std::uint64_t hash) const noexcept {
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = hash & mask;
  while (true) {
    const std::uint32_t slot = slots_[i];
    if (slot == 0 || entries_[slot - 1].key == key) return i;
    i = (i + 1) & mask;
  }
}

void AttributeMap::rebuild_index() {
  std::size_t size = std::max(slots_.size(), kMinSlots);
  while (size < entries_.size() * 2 + 2) size *= 2;
  slots_.assign(size, 0);
  for (std::size_t index = 0; index < entries_.size(); ++index) {
    slots_[find_slot(entries_[index].key, key_hash(entries_[index].key))] = static_cast<std::uint32_t>(index + 1);
  }
}

void AttributeMap::insert_view(std::string_view key, std::string_view value) {
  if (slots_.empty()) slots_.assign(kMinSlots, 0);
  const std::size_t i = find_slot(key, key_hash(key));
  if (slots_[i] != 0) {
    entries_[slots_[i] - 1].value = value;
    return;
  }
  entries_.push_back(Entry{key, value});
  slots_[i] = static_cast<std::uint32_t>(entries_.size());
  if (entries_.size() * 2 + 2 > slots_.size()) rebuild_index();
}

void AttributeMap::insert_copy(std::string_view key, std::string_view value) {
  if (slots_.empty()) slots_.assign(kMinSlots, 0);
  const std::size_t i = find_slot(key, key_hash(key));
  const bool present = slots_[i] != 0;
  BlockRef block = owned_.reserve(value.size() + (present ? 0 : key.size()));
  if (kept_.empty() || !(kept_.back() == block)) kept_.push_back(std::move(block));
  if (present) {
    entries_[slots_[i] - 1].value = owned_.copy(value);
    return;
  }
  const std::string_view owned_key = owned_.copy(key);
  entries_.push_back(Entry{owned_key, owned_.copy(value)});
  slots_[i] = static_cast<std::uint32_t>(entries_.size());
  if (entries_.size() * 2 + 2 > slots_.size()) rebuild_index();
}

bool AttributeMap::erase(std::string_view key) {
  if (slots_.empty()) return false;
  const std::size_t i = find_slot(key, key_hash(key));
  if (slots_[i] == 0) return false;
  entries_.erase(entries_.begin() + (slots_[i] - 1));
  rebuild_index();  // every later entry moved down by one
  return true;
}

void AttributeMap::clear() noexcept {
  entries_.clear();
  std::fill(slots_.begin(), slots_.end(), 0u);
  owned_.clear();
  kept_.clear();
}

void AttributeMap::make_owned() {
  std::size_t total = 0;
  for (const Entry& entry : entries_) total += entry.key.size() + entry.value.size();
  std::vector<BlockRef> previous = std::move(kept_);  // the texts being copied may live there
  kept_.clear();
  if (total > 0) kept_.push_back(owned_.reserve(total));
  for (Entry& entry : entries_) {
    entry.key = owned_.copy(entry.key);
    entry.value = owned_.copy(entry.value);
  }
}

const std::string_view* AttributeMap::find(std::string_view key) const noexcept {
  if (slots_.empty()) return nullptr;
  const std::uint32_t slot = slots_[find_slot(key, key_hash(key))];
  return slot == 0 ? nullptr : &entries_[slot - 1].value;
}

}  // namespace quorlane

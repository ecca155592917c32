// The ordered attribute map of a header or a section: insertion order, a repeated key replaces its value in
// place (silently), constant-time lookup.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "quorlane/text_store.h"

namespace quorlane {

class AttributeMap {
 public:
  struct Entry {
    std::string_view key;
    std::string_view value;
  };

  // Inserts or replaces in place, keeping the views as given: they must outlive the map's use of them.
  // The reader uses this for texts of the decoded statement, which live for the whole reading.
  void insert_view(std::string_view key, std::string_view value);
  // Inserts or replaces in place, copying both texts into storage owned by the map.
  void insert_copy(std::string_view key, std::string_view value);
  // Removes a key; the entries after it keep their order. Returns false when the key was absent.
  bool erase(std::string_view key);
  // Empties the map and releases its own copies.
  void clear() noexcept;
  // Copies every text the map only views into its own storage, so that it no longer refers to anything else.
  void make_owned();

  const std::string_view* find(std::string_view key) const noexcept;
  std::span<const Entry> entries() const noexcept { return entries_; }
  std::size_t size() const noexcept { return entries_.size(); }
  bool empty() const noexcept { return entries_.empty(); }

 private:
  std::size_t find_slot(std::string_view key, std::uint64_t hash) const noexcept;
  void rebuild_index();

  std::vector<Entry> entries_;
  std::vector<std::uint32_t> slots_;  // open addressing: 0 empty, otherwise entry index + 1
  TextStore owned_{4096};
  std::vector<BlockRef> kept_;  // every block the map's own copies live in, not only the store's current one
};

}  // namespace quorlane

// A fixed table of statement keys with a collision-free hash, found at compile time, so that looking up the
// key of every attribute of a section costs one multiplication and a few word comparisons. The table holds
// its keys' bytes itself, so that the same keys can be had as windows-1251 bytes too.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

#include "text/windows_1251_literal.h"

namespace quorlane::detail {

// Little-endian loads that the compiler turns into one read (and that also work at compile time).
template <class Word>
constexpr Word load(const char* p) noexcept {
  Word v = 0;
  if (std::is_constant_evaluated()) {
    for (std::size_t k = 0; k < sizeof(Word); ++k) v |= Word{static_cast<unsigned char>(p[k])} << (8 * k);
  } else {
    std::memcpy(&v, p, sizeof(Word));  // the targets are little-endian
  }
  return v;
}

template <std::size_t N>
class KeyTable {
 public:
  static constexpr int kAbsent = -1;
  static constexpr unsigned kBits = 7;  // 128 slots
  static constexpr std::size_t kMinKey = 4;
  static constexpr std::size_t kCapacity = 1024;  // bytes of all the keys

  // The keys, in field order; every key must be at least kMinKey bytes long.
  consteval explicit KeyTable(const std::array<std::string_view, N>& keys) {
    for (std::size_t field = 0; field < N; ++field) {
      if (keys[field].size() < kMinKey) throw "key shorter than four bytes";  // a compile-time diagnostic
      offset_[field] = used_;
      size_[field] = keys[field].size();
      for (char c : keys[field]) bytes_[used_++] = c;
    }
    find_seed();
  }

  // The same keys written in windows-1251.
  consteval KeyTable in_windows_1251() const {
    KeyTable table = *this;
    table.used_ = 0;
    for (std::size_t field = 0; field < N; ++field) {
      const auto key = to_windows_1251<64>(this->key(field));
      if (key.size < kMinKey) throw "key shorter than four bytes";
      table.offset_[field] = table.used_;
      table.size_[field] = key.size;
      for (std::size_t k = 0; k < key.size; ++k) table.bytes_[table.used_++] = key.bytes[k];
    }
    table.find_seed();
    return table;
  }

  // The field index of the key, or kAbsent.
  constexpr int find(std::string_view key) const noexcept {
    if (key.size() < kMinKey) return kAbsent;
    const std::uint8_t field = slots_[slot_of(key)];
    if (field == 0xFF || !same_bytes(this->key(field), key)) return kAbsent;
    return field;
  }

  constexpr std::string_view key(std::size_t field) const noexcept { return {bytes_ + offset_[field], size_[field]}; }

 private:
  consteval void find_seed() {
    std::uint64_t candidate = 0x9E3779B97F4A7C15ull;
    for (int attempt = 0; attempt < 10000; ++attempt, candidate += 0x2545F4914F6CDD1Eull) {
      seed_ = candidate | 1;
      slots_.fill(0xFF);
      bool clash = false;
      for (std::size_t field = 0; field < N && !clash; ++field) {
        std::uint8_t& slot = slots_[slot_of(key(field))];
        if (slot != 0xFF) clash = true;
        slot = static_cast<std::uint8_t>(field);
      }
      if (!clash) return;
    }
    throw "no collision-free seed found";
  }

  // Word-wise comparison of two keys of at least four bytes; cheaper than a call for these short texts.
  static constexpr bool same_bytes(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    if (std::is_constant_evaluated()) return a == b;
    const std::size_t n = a.size();
    if (n < 8) {
      return load<std::uint32_t>(a.data()) == load<std::uint32_t>(b.data()) &&
             load<std::uint32_t>(a.data() + n - 4) == load<std::uint32_t>(b.data() + n - 4);
    }
    std::size_t i = 0;
    for (; i + 8 < n; i += 8) {
      if (load<std::uint64_t>(a.data() + i) != load<std::uint64_t>(b.data() + i)) return false;
    }
    // The last word, overlapping if need be.
    return load<std::uint64_t>(a.data() + n - 8) == load<std::uint64_t>(b.data() + n - 8);
  }

  constexpr std::size_t slot_of(std::string_view key) const noexcept {
    // Keys of one party share their first bytes, keys of the two parties their last ones: both ends count.
    const std::uint64_t head = std::uint64_t{load<std::uint32_t>(key.data())} * 0xD6E8FEB86659FD93ull;
    const std::uint64_t tail = (std::uint64_t{load<std::uint32_t>(key.data() + key.size() - 4)} << 8) ^ key.size();
    const std::uint64_t mixed = (head ^ (head >> 29) ^ tail) * seed_;
    return static_cast<std::size_t>(mixed >> (64 - kBits));
  }

  char bytes_[kCapacity] = {};
  std::size_t used_ = 0;
  std::array<std::uint16_t, N> offset_{};
  std::array<std::uint8_t, N> size_{};
  std::array<std::uint8_t, std::size_t{1} << kBits> slots_{};
  std::uint64_t seed_ = 0;
};

// True when the fields listed are in ascending byte order of their keys: the order in which a record's
// fallible values must be examined.
template <std::size_t N, std::size_t M>
consteval bool ascending_keys(const KeyTable<N>& table, const std::array<int, M>& fields) {
  for (std::size_t i = 1; i < M; ++i) {
    if (!(table.key(fields[i - 1]) < table.key(fields[i]))) return false;
  }
  return true;
}

}  // namespace quorlane::detail

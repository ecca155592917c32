// A fixed table of statement keys with a collision-free hash, found at compile time, so that looking up the
// key of every attribute of a section costs one multiplication and one comparison.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <string_view>

namespace quorlane::detail {

// Little-endian load that the compiler turns into one 8-byte read (and that also works at compile time).
constexpr std::uint64_t load8(const char* p) noexcept {
  std::uint64_t v = 0;
  if (std::is_constant_evaluated()) {
    for (int k = 0; k < 8; ++k) v |= std::uint64_t{static_cast<unsigned char>(p[k])} << (8 * k);
  } else {
    std::memcpy(&v, p, 8);  // the targets are little-endian
  }
  return v;
}

template <std::size_t N>
class KeyTable {
 public:
  static constexpr int kAbsent = -1;
  static constexpr unsigned kBits = 7;  // 128 slots
  static constexpr std::size_t kMinKey = 8;

  // The keys, in field order; every key must be at least kMinKey bytes long.
  consteval explicit KeyTable(const std::array<std::string_view, N>& keys) : keys_(keys) {
    for (std::string_view key : keys) {
      if (key.size() < kMinKey) throw "key shorter than eight bytes";  // a compile-time diagnostic
    }
    std::uint64_t candidate = 0x9E3779B97F4A7C15ull;
    for (int attempt = 0; attempt < 10000; ++attempt, candidate += 0x2545F4914F6CDD1Eull) {
      seed_ = candidate | 1;
      slots_.fill(0xFF);
      bool clash = false;
      for (std::size_t field = 0; field < N && !clash; ++field) {
        std::uint8_t& slot = slots_[slot_of(keys[field])];
        if (slot != 0xFF) clash = true;
        slot = static_cast<std::uint8_t>(field);
      }
      if (!clash) return;
    }
    throw "no collision-free seed found";
  }

  // The field index of the key, or kAbsent.
  constexpr int find(std::string_view key) const noexcept {
    if (key.size() < kMinKey) return kAbsent;
    const std::uint8_t field = slots_[slot_of(key)];
    if (field == 0xFF || !same_bytes(keys_[field], key)) return kAbsent;
    return field;
  }

  constexpr std::string_view key(std::size_t field) const noexcept { return keys_[field]; }

 private:
  // Word-wise comparison of two keys of at least eight bytes; cheaper than a call for these short texts.
  static constexpr bool same_bytes(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    if (std::is_constant_evaluated()) return a == b;
    const std::size_t n = a.size();
    std::size_t i = 0;
    for (; i + 8 < n; i += 8) {
      if (load8(a.data() + i) != load8(b.data() + i)) return false;
    }
    return load8(a.data() + n - 8) == load8(b.data() + n - 8);  // the last word, overlapping if need be
  }

  constexpr std::size_t slot_of(std::string_view key) const noexcept {
    // Keys of one party share their first bytes, keys of the two parties their last ones: both ends count.
    const std::uint64_t head = load8(key.data()) * 0xD6E8FEB86659FD93ull;
    const std::uint64_t tail = load8(key.data() + key.size() - 8) ^ key.size();
    const std::uint64_t mixed = (head ^ (head >> 29) ^ tail) * seed_;
    return static_cast<std::size_t>(mixed >> (64 - kBits));
  }

  std::array<std::string_view, N> keys_;
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

// Value-or-error results: every operation of the core that can fail returns a Result. Nothing in the core
// throws but the standard library running out of memory (std::bad_alloc).
#pragma once

#include <type_traits>
#include <utility>
#include <variant>

namespace quorlane {

// The failure half of a Result, spelled at the return site: `return Err(message);`.
template <class E>
struct Err {
  explicit Err(E e) : error(std::move(e)) {}
  E error;
};

// A value, or the one error that stopped the operation.
template <class T, class E>
class [[nodiscard]] Result {
 public:
  Result()
    requires std::is_same_v<T, std::monostate>
      : v_(std::in_place_index<0>) {}
  Result(T value) : v_(std::in_place_index<0>, std::move(value)) {}
  template <class G>
  Result(Err<G> e) : v_(std::in_place_index<1>, std::move(e.error)) {}

  bool ok() const noexcept { return v_.index() == 0; }
  explicit operator bool() const noexcept { return ok(); }

  T& value() & { return *std::get_if<0>(&v_); }  // precondition: ok()
  const T& value() const& { return *std::get_if<0>(&v_); }
  T&& value() && { return std::move(*std::get_if<0>(&v_)); }
  const E& error() const& { return *std::get_if<1>(&v_); }  // precondition: !ok()
  E&& error() && { return std::move(*std::get_if<1>(&v_)); }

 private:
  std::variant<T, E> v_;  // index-based, so Result<std::string, std::string> works
};

template <class E>
using Status = Result<std::monostate, E>;  // `return {};` on success

}  // namespace quorlane

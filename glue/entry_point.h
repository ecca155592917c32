// The one place where C++ exceptions become Python exceptions. Nothing in the core or in this module throws but
// for running out of memory: std::bad_alloc, or std::length_error for a size no allocation could reach. Every
// function the interpreter calls (parse, tp_new, getters, reprs, ...) is handed to it as entry_point<function>,
// which turns such an exception into MemoryError. A function declared noexcept is handed over as it is.
#pragma once

#include <new>
#include <stdexcept>
#include <type_traits>

#include "ref.h"

namespace quorlane_glue {
namespace detail {

template <auto Function, class Signature>
struct EntryPoint;

// Not declared noexcept, although no C++ exception leaves it: a thread that the interpreter ends by a forced
// unwind (see WithoutLock) must be let through, where a noexcept frame would abort the process.
template <auto Function, class R, class... Args>
struct EntryPoint<Function, R (*)(Args...)> {
  static R call(Args... args) {
    try {
      return Function(args...);
    } catch (const std::bad_alloc&) {
      PyErr_NoMemory();
    } catch (const std::length_error&) {
      PyErr_NoMemory();
    }
    if constexpr (std::is_pointer_v<R>) {
      return nullptr;
    } else {
      return R(-1);  // the failure value of the interpreter's int-returning slots
    }
  }
};

template <auto Function, class R, class... Args>
struct EntryPoint<Function, R (*)(Args...) noexcept> {
  static constexpr auto call = Function;
};

}  // namespace detail

template <auto Function>
inline constexpr auto entry_point = detail::EntryPoint<Function, decltype(Function)>::call;

// A C function of another signature than PyCFunction's (METH_FASTCALL, METH_KEYWORDS, METH_NOARGS), as a
// PyMethodDef holds it; the cast goes through a plain function pointer, which -Wcast-function-type accepts.
template <class Function>
PyCFunction as_method(Function* function) noexcept {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(function));
}

}  // namespace quorlane_glue

// An owner for one strong reference to a Python object. Outside tp_dealloc nobody calls Py_DECREF by hand.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <utility>

namespace quorlane_py {

// Owns one strong reference, or nothing. Move-only: a second reference is spelled Ref::borrow().
class Ref {
 public:
  Ref() noexcept = default;
  // Takes over a new reference (e.g. from PyUnicode_FromStringAndSize). Null after a failed call is fine.
  static Ref steal(PyObject* p) noexcept { return Ref(p); }
  // Adds a reference to a borrowed pointer (e.g. from PyTuple_GET_ITEM).
  static Ref borrow(PyObject* p) noexcept {
    Py_XINCREF(p);
    return Ref(p);
  }
  Ref(Ref&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  Ref& operator=(Ref&& other) noexcept {
    Ref old(std::exchange(p_, std::exchange(other.p_, nullptr)));
    return *this;  // `old` drops the previous object last: its destructor may run Python code
  }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  ~Ref() { Py_XDECREF(p_); }

  PyObject* get() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  // Hands the reference on: to the caller, or to a stealing call such as PyList_SET_ITEM.
  [[nodiscard]] PyObject* release() noexcept { return std::exchange(p_, nullptr); }

 private:
  explicit Ref(PyObject* p) noexcept : p_(p) {}
  PyObject* p_ = nullptr;
};

}  // namespace quorlane_py

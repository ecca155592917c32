// An owner for one strong reference to a Python object. Outside tp_dealloc nobody calls Py_DECREF by hand.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstddef>
#include <utility>

namespace quorlane_glue {

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

// A new list at its final length, filled by index with make(item): a new reference, or null with the exception
// of the first item that fails.
template <class Items, class Make>
PyObject* new_list(Items& items, Make make) noexcept {
  Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(items.size())));
  if (!list) return nullptr;
  for (std::size_t i = 0; i < items.size(); ++i) {
    Ref item = Ref::steal(make(items[i]));
    if (!item) return nullptr;
    PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), item.release());
  }
  return list.release();
}

}  // namespace quorlane_glue

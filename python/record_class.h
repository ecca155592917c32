// The shape shared by Interval, Account and Document: instances embed one C++ value, built in place and
// destroyed with the object; attributes are read-only; ==/!= compare by `Same` (NotImplemented for anything
// else); instances are unhashable and Python code cannot construct them.
#pragma once

#include <memory>
#include <new>
#include <type_traits>
#include <utility>

#include "glue.h"
#include "field_values.h"

namespace quorlane_py {

// `Same` may throw std::bad_alloc (comparing texts kept in two encodings makes copies).
template <class T, bool (*Same)(const T&, const T&)>
struct RecordClass {
  struct Object {
    PyObject_HEAD
    T value;
  };

  static const T& of(PyObject* self) noexcept { return reinterpret_cast<Object*>(self)->value; }

  // `name` and `getset` must outlive the class (literals and static arrays). New reference, or null.
  static PyTypeObject* create(const char* name, reprfunc repr, PyGetSetDef* getset) {
    PyType_Slot slots[] = {
        {Py_tp_dealloc, reinterpret_cast<void*>(dealloc)},
        {Py_tp_repr, reinterpret_cast<void*>(repr)},
        {Py_tp_richcompare, reinterpret_cast<void*>(entry_point<richcompare>)},
        {Py_tp_hash, reinterpret_cast<void*>(PyObject_HashNotImplemented)},
        {Py_tp_getset, getset},
        {Py_tp_new, reinterpret_cast<void*>(refuse_construction)},
        {0, nullptr},
    };
    PyType_Spec spec = {name, sizeof(Object), 0, Py_TPFLAGS_DEFAULT, slots};
    return reinterpret_cast<PyTypeObject*>(new_class(spec, kModuleName));
  }

  // A new instance of `type` holding T(args...). New reference, or null with an exception.
  template <class... Args>
  static PyObject* make(PyTypeObject* type, Args&&... args) noexcept {
    static_assert(std::is_nothrow_constructible_v<T, Args&&...>, "built after the allocation, so it must not throw");
    PyObject* self = type->tp_alloc(type, 0);
    if (!self) return nullptr;
    new (&reinterpret_cast<Object*>(self)->value) T(std::forward<Args>(args)...);
    return self;
  }

 private:
  static void dealloc(PyObject* self) noexcept {
    std::destroy_at(&reinterpret_cast<Object*>(self)->value);
    free_instance(self);
  }

  static PyObject* richcompare(PyObject* self, PyObject* other, int op) {
    if ((op != Py_EQ && op != Py_NE) || Py_TYPE(other) != Py_TYPE(self)) Py_RETURN_NOTIMPLEMENTED;
    const bool equal = Same(of(self), of(other));
    return Ref::borrow(equal == (op == Py_EQ) ? Py_True : Py_False).release();
  }
};

}  // namespace quorlane_py

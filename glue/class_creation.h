// Creating the module's classes, alike on every interpreter: no instance dictionary, no subclasses, no
// construction from Python unless the class says otherwise.
#pragma once

#include "ref.h"

namespace quorlane_glue {

// Creates a class from `spec`, whose name is the bare class name and must outlive the class (a literal): the
// class's __name__ and __qualname__ are that name and its __module__ is `module_name` (a literal). New
// reference, or null with an exception.
PyObject* new_class(const PyType_Spec& spec, const char* module_name);

// Stores an attribute of a class while the module creates it. False with an exception set.
bool set_class_attribute(PyObject* type, const char* name, PyObject* value) noexcept;

// tp_new of a class that Python code cannot instantiate: raises TypeError
// "cannot create 'MODULE.QUALNAME' instances" ("<unknown>" for a name that cannot be determined).
PyObject* refuse_construction(PyTypeObject* type, PyObject* args, PyObject* kwargs) noexcept;

// The end of every tp_dealloc: frees the instance's memory and drops the reference that an instance of a heap
// class holds to its class.
void free_instance(PyObject* self) noexcept;

namespace detail {
template <class Member>
struct MemberOf;
template <class Object>
struct MemberOf<PyObject* Object::*> {
  using type = Object;
};
}  // namespace detail

// The getter (PyGetSetDef::get) of an instance's PyObject* member that is set for the instance's whole life:
// a new reference to it. member_getter<&SomeObject::field>.
template <auto Member>
PyObject* member_getter(PyObject* self, void*) noexcept {
  using Object = typename detail::MemberOf<decltype(Member)>::type;
  PyObject* value = reinterpret_cast<Object*>(self)->*Member;
  Py_INCREF(value);
  return value;
}

}  // namespace quorlane_glue

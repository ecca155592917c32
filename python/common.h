// Small helpers shared by the module's classes.
#pragma once

#include <string_view>

#include "ref.h"

namespace quorlane_py {

inline constexpr const char kModuleName[] = "quorlane_py";

// A new str from UTF-8 text (the core only holds valid UTF-8). New reference, or null with an exception.
PyObject* new_str(std::string_view utf8) noexcept;

// tp_new of a class that Python code cannot instantiate: raises TypeError
// "cannot create 'MODULE.QUALNAME' instances" ("<unknown>" for a name that cannot be determined).
PyObject* refuse_construction(PyTypeObject* type, PyObject* args, PyObject* kwargs) noexcept;

// Creates a heap type from `spec`, whose name is the bare class name and must outlive the type (a literal):
// the type's name stays bare and its __module__ is the module's name. New reference, or null with an exception.
PyObject* new_class(PyType_Spec* spec) noexcept;

// The type's name without its module (the part of tp_name after the last dot), as Python's messages show it.
const char* type_name(PyTypeObject* type) noexcept;

// Sets TypeError "'TYPENAME' object cannot be converted to 'TARGET'", naming the object's type.
void set_conversion_error(PyObject* obj, const char* target) noexcept;

// Registers module attributes in order: each name is appended to __all__ (created on the first call),
// then the attribute is set.
class Registrar {
 public:
  explicit Registrar(PyObject* module) noexcept : module_(module) {}
  // `value` is borrowed. False with an exception set on failure.
  bool add(const char* name, PyObject* value) noexcept;

 private:
  PyObject* module_;
  Ref all_;
};

}  // namespace quorlane_py

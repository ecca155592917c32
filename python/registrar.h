// The module's name, and the registration of its attributes in their fixed order.
#pragma once

#include "ref.h"

namespace quorlane_py {

inline constexpr const char kModuleName[] = "quorlane_py";

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

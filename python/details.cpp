#include "details.h"

namespace quorlane_py {

// Placeholder until the classes are built: registers nothing.
bool register_detail_classes(Registrar&) noexcept { return true; }
PyObject* new_detail(const quorlane::SyntaxDetail&) noexcept {
  PyErr_SetString(PyExc_NotImplementedError, "details");
  return nullptr;
}

}  // namespace quorlane_py

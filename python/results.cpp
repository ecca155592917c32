#include "results.h"

namespace quorlane_py {

// Placeholder until the classes are built: registers nothing.
bool register_result_classes(Registrar&) noexcept { return true; }
PyObject* build_statement(quorlane::ReaderResult&&) noexcept {
  PyErr_SetString(PyExc_NotImplementedError, "results");
  return nullptr;
}

}  // namespace quorlane_py

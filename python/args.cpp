#include "args.h"

namespace quorlane_py {

// Placeholder until the binder is built.
bool bind_arguments(const Signature&, PyObject* const*, Py_ssize_t, PyObject*, std::span<PyObject*>) noexcept {
  PyErr_SetString(PyExc_NotImplementedError, "args");
  return false;
}
bool bind_arguments(const Signature&, PyObject*, PyObject*, std::span<PyObject*>) noexcept {
  PyErr_SetString(PyExc_NotImplementedError, "args");
  return false;
}
void wrap_argument_error(const char*) noexcept {}

}  // namespace quorlane_py

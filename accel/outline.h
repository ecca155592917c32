#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace quorlane_accel {

// The class quorlane._accel.Outline, made once at the module's initialisation: a new reference, or null with an
// exception.
PyTypeObject* new_outline_type();

// read_outline(statement, sections): see the module's docstring of the function.
PyObject* read_outline(PyObject* module, PyObject* const* args, Py_ssize_t nargs);

}  // namespace quorlane_accel

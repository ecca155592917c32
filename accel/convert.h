#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace quorlane_accel {

// convert(statement, target, newline): see the module's docstring of the function.
PyObject* convert(PyObject* module, PyObject* const* args, Py_ssize_t nargs);

// write_converted(statement, target, newline, write): the same, the text handed to write(bytes) in pieces.
PyObject* write_converted(PyObject* module, PyObject* const* args, Py_ssize_t nargs);

}  // namespace quorlane_accel

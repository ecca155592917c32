#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace quorlane_accel {

// The class quorlane.Section, made once at the module's initialisation: a new reference, or null with an
// exception.
PyTypeObject* new_section_type();

// read_sections(statement): see the module's docstring of the function. Takes its Section class from the module's state.
PyObject* read_sections(PyObject* module, PyObject* const* args, Py_ssize_t nargs);

}  // namespace quorlane_accel

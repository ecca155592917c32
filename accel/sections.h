#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace quorlane_accel {

// The class quorlane.Section, made once at the module's initialisation: a new reference, or null with an
// exception.
PyTypeObject* new_section_type();

// The class quorlane.SectionReading, made the same way.
PyTypeObject* new_section_reading_type();

// read_sections(statement): see the module's docstring of the function.
PyObject* read_sections(PyObject* module, PyObject* statement);

}  // namespace quorlane_accel

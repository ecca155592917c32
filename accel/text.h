// What the package knows of the format's texts, from the core: the quoted form, the plausibility rule, the dotted
// date and the reading of a date, and the tables (windows-1251, line breaks, markers, document fields) as module
// constants.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace quorlane_accel {

PyObject* quoted(PyObject* module, PyObject* text);
PyObject* plausible(PyObject* module, PyObject* text);
PyObject* dotted_date(PyObject* module, PyObject* iso);
PyObject* iso_date(PyObject* module, PyObject* text);

// Sets the module's constants; -1 with an exception.
int add_text_constants(PyObject* module);

}  // namespace quorlane_accel

// What the package knows of the format's texts, from the core: the quoted form, the plausibility rule, the dotted
// date and the reading of a date, and the tables (windows-1251, line breaks, markers, document fields) as module
// constants.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "registrar.h"

namespace quorlane_accel {

PyObject* quoted(PyObject* module, PyObject* text);
PyObject* plausible(PyObject* module, PyObject* text);
PyObject* encode(PyObject* module, PyObject* const* args, Py_ssize_t nargs);
PyObject* dotted_date(PyObject* module, PyObject* iso);
PyObject* iso_date(PyObject* module, PyObject* text);
PyObject* key_column(PyObject* module, PyObject* key);

// Registers the module's constants; false with an exception.
bool add_text_constants(quorlane_glue::Registrar& registrar);

}  // namespace quorlane_accel

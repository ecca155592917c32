#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace quorlane_accel {

// The class quorlane._accel.Table, made once at the module's initialisation: a new reference, or null with an
// exception.
PyTypeObject* new_table_type();

// The class quorlane.StatementTable, made the same way.
PyTypeObject* new_statement_table_type();

// read_table(statement, name, keys, scale, batch_bytes): see the module's docstring of the function. Takes its
// Table class from the module's state.
PyObject* read_table(PyObject* module, PyObject* const* args, Py_ssize_t nargs);

}  // namespace quorlane_accel

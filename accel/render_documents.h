// Writing a statement's document sections straight into bytes of the target encoding.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace quorlane_accel {

// render_documents(documents, head, tail, names, keys, dates, newline, closing, table): see the module's
// docstring of the function.
PyObject* render_documents(PyObject* module, PyObject* const* args, Py_ssize_t nargs);

}  // namespace quorlane_accel

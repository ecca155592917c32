// Taking the pending exception out of the error indicator and putting one back, on every supported version.
#pragma once

#include "ref.h"

namespace quorlane_glue {

// The pending exception, normalised; empty when none is pending. Before 3.12 the traceback kept beside it is
// dropped: nothing here shows it, and PyPy keeps alive an exception whose traceback is attached from C.
inline Ref take_pending_error() noexcept {
#if PY_VERSION_HEX >= 0x030C0000
  return Ref::steal(PyErr_GetRaisedException());
#else
  PyObject* type = nullptr;
  PyObject* value = nullptr;
  PyObject* traceback = nullptr;
  PyErr_Fetch(&type, &value, &traceback);
  PyErr_NormalizeException(&type, &value, &traceback);
  Ref owned_type = Ref::steal(type);
  Ref owned_traceback = Ref::steal(traceback);
  return Ref::steal(value);
#endif
}

// Makes `exception` (an exception instance) the pending one as it is. Unlike PyErr_SetObject this attaches
// no context from an exception being handled.
inline void restore_pending_error(Ref exception) noexcept {
#if PY_VERSION_HEX >= 0x030C0000
  PyErr_SetRaisedException(exception.release());
#else
  PyObject* type = reinterpret_cast<PyObject*>(Py_TYPE(exception.get()));
  Py_INCREF(type);
  PyErr_Restore(type, exception.release(), nullptr);
#endif
}

}  // namespace quorlane_glue

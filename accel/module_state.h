// What quorlane._accel keeps for itself: its classes, made at the module's exec. Functions find them here, never
// by the module's attribute names, which Python code may rebind.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace quorlane_accel {

struct ModuleState {
  PyTypeObject* section_type;
  PyTypeObject* table_type;
};

// The state of the module a module function is called with.
inline ModuleState& state_of(PyObject* module) noexcept { return *static_cast<ModuleState*>(PyModule_GetState(module)); }

}  // namespace quorlane_accel

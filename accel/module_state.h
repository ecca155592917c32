// What quorlane._accel keeps for itself, made or taken at the module's exec: its own classes, and what it
// takes one way from the modules below it: quorlane_py's classes and records (through its capsule) and the
// package's problem classes. Functions find them here, never by attribute names, which Python code may rebind.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "module_api.h"

namespace quorlane_accel {

struct ModuleState {
  PyTypeObject* section_type;
  PyTypeObject* section_reading_type;
  PyTypeObject* table_type;
  PyTypeObject* statement_table_type;
  PyTypeObject* outline_type;
  PyObject* reader;       // quorlane_py, which keeps the classes and the functions `api` points to
  const quorlane_glue::ModuleApi* api;
  PyObject* write_error;  // quorlane.errors.WriteError
  PyObject* table_error;  // quorlane.errors.TableError
  PyObject* dropped_document;  // quorlane.errors.DroppedDocument
  PyObject* not_rendered;  // quorlane._accel.NotRendered
};

// The state of the module a module function is called with.
inline ModuleState& state_of(PyObject* module) noexcept { return *static_cast<ModuleState*>(PyModule_GetState(module)); }

}  // namespace quorlane_accel

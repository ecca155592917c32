#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <vector>

#include "module_state.h"
#include "quorlane/sections.h"

namespace quorlane_accel {

// The class quorlane.Section, made once at the module's initialisation: a new reference, or null with an
// exception.
PyTypeObject* new_section_type();

// The class quorlane.SectionReading, made the same way.
PyTypeObject* new_section_reading_type();

// read_sections(statement): see the module's docstring of the function.
PyObject* read_sections(PyObject* module, PyObject* statement);

// A Section for each of `core`'s sections, in its order, as a tuple: new reference, or null with an exception.
// Their texts lie in `keeper` (the statement read in place, kept alive with them; None where it holds none of
// them), in core.text, or in `copied`.
PyObject* new_sections(const ModuleState& state, PyObject* keeper, quorlane::StatementSections&& core,
                       std::vector<char>&& copied = {});

}  // namespace quorlane_accel

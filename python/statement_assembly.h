// The result classes as a whole: their registration, and the assembly of a Statement from a reading.
#pragma once

#include "glue.h"
#include "quorlane/reader.h"

namespace quorlane_py {

// Creates the classes (once per process) and registers them: Interval, Account, Document, Statement.
bool register_result_classes(Registrar& registrar);

// Assembles a Statement from a successful reading, its warnings the reading's (lineno, message) pairs or, when
// `warnings` is given, that list (borrowed: the statement takes a reference). New reference, or null with an
// exception.
PyObject* build_statement(quorlane::ReaderResult&& result, PyObject* warnings = nullptr) noexcept;

}  // namespace quorlane_py

// The seven error detail classes: UnexpectedSection, UnexpectedAttribute, UnrecognizedLine, MissingField,
// AccountParseError, DocumentParseError and HookError.
#pragma once

#include "glue.h"
#include "quorlane/errors.h"

namespace quorlane_py {

// Creates the classes (once per process) and registers them in their order.
bool register_detail_classes(Registrar& registrar);

// The detail object for a core syntax detail, made without calling the class's constructor.
// New reference, or null with an exception.
PyObject* new_detail(const quorlane::SyntaxDetail& detail);

}  // namespace quorlane_py

// The seven error detail classes: UnexpectedSection, UnexpectedAttribute, UnrecognizedLine, MissingField,
// AccountParseError, DocumentParseError and HookError.
#pragma once

#include "glue.h"
#include "statement_errors.h"
#include "quorlane/errors.h"

namespace quorlane_py {

// Creates the classes (once per process), registers them in their order and puts them into `classes`.
bool register_detail_classes(Registrar& registrar, ErrorClasses& classes);

}  // namespace quorlane_py

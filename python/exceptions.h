// The module's exception classes and the conversion of a core error into exactly one exception.
#pragma once

#include "glue.h"
#include "quorlane/errors.h"

namespace quorlane_py {

// Creates ParseError, NotStatementError, EmptyInputError, UnfinishedError and SyntaxError (once per
// process) and registers them in that order.
bool register_exceptions(Registrar& registrar);

// Sets the exception that the core error maps to as the pending exception. Never replaces it by another
// failure: a SyntaxError whose detail cannot be attached is raised without one.
void raise_statement_error(const quorlane::StatementError& error);

}  // namespace quorlane_py

// The module's exception classes.
#pragma once

#include "glue.h"
#include "statement_errors.h"
#include "quorlane/errors.h"

namespace quorlane_py {

// Creates ParseError, NotStatementError, EmptyInputError, UnfinishedError and SyntaxError (once per
// process), registers them in that order and puts them into `classes`.
bool register_exceptions(Registrar& registrar, ErrorClasses& classes);

}  // namespace quorlane_py

// The one mapping of the reader's errors to exceptions, for quorlane_py and the package's extension alike: each
// raises the classes of quorlane_py, the module's own to it and taken from the module by the extension.
#pragma once

#include <cstddef>

#include "quorlane/errors.h"
#include "ref.h"

namespace quorlane_glue {

// The classes a reader's error becomes, in quorlane_py's registration order (borrowed: their owner keeps them).
struct ErrorClasses {
  enum Exception : std::size_t {
    kParseError, kNotStatementError, kEmptyInputError, kUnfinishedError, kSyntaxError, kExceptionCount
  };
  enum Detail : std::size_t {
    kUnexpectedSection, kUnexpectedAttribute, kUnrecognizedLine, kMissingField, kAccountParseError,
    kDocumentParseError, kHookError, kDetailCount
  };
  PyObject* exceptions[kExceptionCount] = {};
  PyObject* details[kDetailCount] = {};
};

// Sets the exception that the core error maps to as the pending exception, raised as it is (no cause, no
// context taken from an exception being handled): UnfinishedError, NotStatementError, or SyntaxError with its
// detail, made through the detail class; TypeError "statement must be bytes or str" for a str that has no UTF-8
// form. Never replaces it by another failure: a SyntaxError whose detail cannot be made is raised without one.
void raise_statement_error(const quorlane::StatementError& error, const ErrorClasses& classes);

}  // namespace quorlane_glue

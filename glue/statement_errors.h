// The one mapping of the reader's errors to exceptions, for quorlane_py and the package's extension alike: each
// raises the classes of quorlane_py, the module's own to it and taken from the module by the extension.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

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
  // Makes a detail object of that class holding the line and texts (UTF-8) as quorlane_py makes its own,
  // without calling the class. New reference, or null with an exception.
  PyObject* (*new_detail)(Detail kind, std::uint64_t lineno, std::span<const std::string_view> texts) = nullptr;
};

// Sets the exception that the core error maps to as the pending exception, raised as it is (no cause, no
// context taken from an exception being handled): UnfinishedError, NotStatementError, or SyntaxError with its
// detail; TypeError "statement must be bytes or str" for a str that has no UTF-8
// form. Never replaces it by another failure: a SyntaxError whose detail cannot be made is raised without one.
void raise_statement_error(const quorlane::StatementError& error, const ErrorClasses& classes);

}  // namespace quorlane_glue

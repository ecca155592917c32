// Binding call arguments to parameters, with the interpreter's customary messages, for `parse` and for the
// constructors of the error detail classes.
#pragma once

#include <cstddef>
#include <span>

#include "ref.h"

namespace quorlane_glue {

// Every parameter may be given by position or by keyword; the first `required` ones must be given.
struct Signature {
  const char* full_name;  // "parse()", "HookError.__new__()"
  std::span<const char* const> params;
  std::size_t required;
};

// Fast-call convention: `args` holds nargs positional values followed by the values of `kwnames`.
// Fills `slots` (one per parameter, borrowed, null when absent). False with TypeError set on failure.
bool bind_arguments(const Signature& sig, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                    std::span<PyObject*> slots);
// tp_new convention: a tuple of positional values and a dict of keywords (or null).
bool bind_arguments(const Signature& sig, PyObject* args, PyObject* kwargs, std::span<PyObject*> slots);

// Call after converting the argument `param` failed: a pending exception of exactly TypeError is replaced
// by TypeError "argument 'PARAM': MESSAGE" (keeping its cause); any other exception stays as it is.
void wrap_argument_error(const char* param) noexcept;

}  // namespace quorlane_glue

#include "exceptions.h"

#include <string>
#include <utility>
#include <variant>

#include "details.h"
#include "glue.h"

namespace quorlane_py {
namespace {

enum ExceptionKind : std::size_t {
  kParseError,
  kNotStatementError,
  kEmptyInputError,
  kUnfinishedError,
  kSyntaxError,
  kExceptionCount,
};

struct ExceptionDef {
  const char* name;
  const char* full_name;
};

// Registration order. Every class but the first derives from the first.
constexpr ExceptionDef kExceptions[kExceptionCount] = {
    {"ParseError", "quorlane_py.ParseError"},           {"NotStatementError", "quorlane_py.NotStatementError"},
    {"EmptyInputError", "quorlane_py.EmptyInputError"}, {"UnfinishedError", "quorlane_py.UnfinishedError"},
    {"SyntaxError", "quorlane_py.SyntaxError"},
};

// The class objects, created once per process. Raising uses them directly: rebinding the module's
// attributes does not change what is raised.
PyObject* exception_types[kExceptionCount] = {};

// The interpreter's refusal becomes the cause of a RuntimeError that says what could not be done.
PyObject* create_exception(ExceptionKind kind) noexcept {
  PyObject* base = kind == kParseError ? PyExc_Exception : exception_types[kParseError];
  PyObject* type = PyErr_NewExceptionWithDoc(kExceptions[kind].full_name, nullptr, base, nullptr);
  if (type) return type;
  Ref cause = take_pending_error();
  PyErr_SetString(PyExc_RuntimeError, "Failed to initialize new exception type.");
  Ref error = take_pending_error();
  if (error && cause) PyException_SetCause(error.get(), cause.release());
  if (error) restore_pending_error(std::move(error));
  return nullptr;
}

ExceptionKind kind_of(const quorlane::StatementError& error) noexcept {
  if (std::holds_alternative<quorlane::Unfinished>(error)) return kUnfinishedError;
  if (std::holds_alternative<quorlane::NotStatement>(error)) return kNotStatementError;
  return kSyntaxError;
}

// Puts the detail into the instance's __dict__. Any failure here is cleared: it costs the detail only.
void attach_detail(PyObject* instance, PyObject* detail) noexcept {
  Ref dict = Ref::steal(PyObject_GetAttrString(instance, "__dict__"));
  if (!dict || PyMapping_SetItemString(dict.get(), "detail", detail) < 0) PyErr_Clear();
}

}  // namespace

bool register_exceptions(Registrar& registrar) {
  for (std::size_t i = 0; i < kExceptionCount; ++i) {
    if (!exception_types[i]) {
      exception_types[i] = create_exception(static_cast<ExceptionKind>(i));
      if (!exception_types[i]) return false;
    }
    if (!registrar.add(kExceptions[i].name, exception_types[i])) return false;
  }
  return true;
}

void raise_statement_error(const quorlane::StatementError& error) {
  const ExceptionKind kind = kind_of(error);
  PyObject* type = exception_types[kind];
  if (!type) {
    PyErr_SetString(PyExc_SystemError, "quorlane_py exception classes are not initialised");
    return;
  }
  Ref text = Ref::steal(new_str(quorlane::message(error)));
  if (!text) return;
  // Everything that could run out of C++ memory happens before the exception exists, so that nothing replaces
  // it once it does: the detail is made first (a failure to make it costs the exception its detail only).
  Ref detail;
  if (const auto* syntax = std::get_if<quorlane::SyntaxDetail>(&error)) {
    detail = Ref::steal(new_detail(*syntax));
    if (!detail) PyErr_Clear();
  }
  Ref instance = Ref::steal(PyObject_CallOneArg(type, text.get()));
  if (!instance) return;
  if (detail) attach_detail(instance.get(), detail.get());
  // Raised as it is: no cause, and no context taken from an exception being handled.
  restore_pending_error(std::move(instance));
}

}  // namespace quorlane_py

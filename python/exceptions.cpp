#include "exceptions.h"

#include <utility>

namespace quorlane_py {
namespace {

struct ExceptionDef {
  const char* name;
  const char* full_name;
};

// Registration order, the mapping's. Every class but the first derives from the first.
constexpr ExceptionDef kExceptions[ErrorClasses::kExceptionCount] = {
    {"ParseError", "quorlane_py.ParseError"},           {"NotStatementError", "quorlane_py.NotStatementError"},
    {"EmptyInputError", "quorlane_py.EmptyInputError"}, {"UnfinishedError", "quorlane_py.UnfinishedError"},
    {"SyntaxError", "quorlane_py.SyntaxError"},
};

// The class objects, created once per process. Raising uses them directly: rebinding the module's
// attributes does not change what is raised.
PyObject* exception_types[ErrorClasses::kExceptionCount] = {};

// The interpreter's refusal becomes the cause of a RuntimeError that says what could not be done.
PyObject* create_exception(std::size_t kind) noexcept {
  PyObject* base = kind == ErrorClasses::kParseError ? PyExc_Exception : exception_types[ErrorClasses::kParseError];
  PyObject* type = PyErr_NewExceptionWithDoc(kExceptions[kind].full_name, nullptr, base, nullptr);
  if (type) return type;
  Ref cause = take_pending_error();
  PyErr_SetString(PyExc_RuntimeError, "Failed to initialize new exception type.");
  Ref error = take_pending_error();
  if (error && cause) PyException_SetCause(error.get(), cause.release());
  if (error) restore_pending_error(std::move(error));
  return nullptr;
}

}  // namespace

bool register_exceptions(Registrar& registrar, ErrorClasses& classes) {
  for (std::size_t i = 0; i < ErrorClasses::kExceptionCount; ++i) {
    if (!exception_types[i]) {
      exception_types[i] = create_exception(i);
      if (!exception_types[i]) return false;
    }
    classes.exceptions[i] = exception_types[i];
    if (!registrar.add(kExceptions[i].name, exception_types[i])) return false;
  }
  return true;
}

}  // namespace quorlane_py

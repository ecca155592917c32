#include "statement_errors.h"

#include <string>
#include <string_view>
#include <variant>

#include "pending_error.h"
#include "quorlane/overloaded.h"
#include "statement_input.h"
#include "str_conversion.h"

namespace quorlane_glue {
namespace {

// The detail object of a syntax error, made as quorlane_py makes its details. New reference, or null with an
// exception.
PyObject* new_detail(const quorlane::SyntaxDetail& detail, const ErrorClasses& classes) {
  using std::string_view;
  const auto make = [&](ErrorClasses::Detail kind, std::uint64_t lineno, const auto&... texts) -> PyObject* {
    const string_view views[] = {string_view(texts)...};
    return classes.new_detail(kind, lineno, std::span<const string_view>(views));
  };
  return std::visit(
      quorlane::Overloaded{
          [&](const quorlane::UnexpectedSection& d) {
            return make(ErrorClasses::kUnexpectedSection, d.lineno, d.found, quorlane::context_name(d.context));
          },
          [&](const quorlane::UnexpectedAttribute& d) {
            return make(ErrorClasses::kUnexpectedAttribute, d.lineno, d.key, d.value);
          },
          [&](const quorlane::UnrecognizedLine& d) { return make(ErrorClasses::kUnrecognizedLine, d.lineno, d.line); },
          [&](const quorlane::MissingField& d) {
            return make(ErrorClasses::kMissingField, d.lineno, d.field, quorlane::context_name(d.context));
          },
          [&](const quorlane::AccountParseError& d) {
            return make(ErrorClasses::kAccountParseError, d.lineno, d.message);
          },
          [&](const quorlane::HookError& d) { return make(ErrorClasses::kHookError, d.lineno, d.message); },
      },
      detail);
}

ErrorClasses::Exception kind_of(const quorlane::StatementError& error) noexcept {
  if (std::holds_alternative<quorlane::Unfinished>(error)) return ErrorClasses::kUnfinishedError;
  if (std::holds_alternative<quorlane::NotStatement>(error)) return ErrorClasses::kNotStatementError;
  return ErrorClasses::kSyntaxError;
}

// Puts the detail into the instance's __dict__. Any failure here is cleared: it costs the detail only.
void attach_detail(PyObject* instance, PyObject* detail) noexcept {
  Ref dict = Ref::steal(PyObject_GetAttrString(instance, "__dict__"));
  if (!dict || PyMapping_SetItemString(dict.get(), "detail", detail) < 0) PyErr_Clear();
}

}  // namespace

void raise_statement_error(const quorlane::StatementError& error, const ErrorClasses& classes) {
  if (std::holds_alternative<quorlane::NotUtf8>(error)) {
    // A str holding a lone surrogate: it has no UTF-8 form, so it is no text the statement can be.
    PyErr_SetString(PyExc_TypeError, kStatementTypeMessage);
    return;
  }
  PyObject* type = classes.exceptions[kind_of(error)];
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
    detail = Ref::steal(new_detail(*syntax, classes));
    if (!detail) PyErr_Clear();
  }
  Ref instance = Ref::steal(PyObject_CallOneArg(type, text.get()));
  if (!instance) return;
  if (detail) attach_detail(instance.get(), detail.get());
  restore_pending_error(std::move(instance));
}

}  // namespace quorlane_glue

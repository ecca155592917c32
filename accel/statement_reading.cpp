#include "statement_reading.h"

#include <string_view>
#include <utility>

#include "quorlane/declared_encoding.h"
#include "quorlane/line_feeds.h"
#include "quorlane/parse.h"
#include "ref.h"
#include "statement_errors.h"
#include "statement_input.h"
#include "str_conversion.h"

namespace quorlane_accel {

using quorlane_glue::Ref;

quorlane::ReadOptions package_reading() noexcept {
  quorlane::ReadOptions options;
  options.skip_utf8_bom = true;
  options.read_declared_dos = true;
  return options;
}

PyObject* dropped_documents(const ModuleState& state, const std::vector<quorlane::StatementWarning>& warnings) {
  return quorlane_glue::new_list(warnings, [&](const quorlane::StatementWarning& warning) -> PyObject* {
    Ref message = Ref::steal(quorlane_glue::new_str(warning.message));
    Ref key = Ref::steal(quorlane_glue::new_str(warning.key));
    Ref value = warning.value ? Ref::steal(quorlane_glue::new_str(*warning.value)) : Ref::borrow(Py_None);
    if (!message || !key || !value) return nullptr;
    return PyObject_CallFunction(state.dropped_document, "KOOO", static_cast<unsigned long long>(warning.lineno),
                                 message.get(), key.get(), value.get());
  });
}

PyObject* package_statement(const ModuleState& state, quorlane::ReaderResult&& reading) {
  Ref warnings = Ref::steal(dropped_documents(state, reading.warnings));
  if (!warnings) return nullptr;
  return state.api->new_statement(std::move(reading), warnings.get());
}

PyObject* read_statement(PyObject* module, PyObject* statement) {
  quorlane_glue::StatementInput input;
  if (!quorlane_glue::statement_input(statement, input)) return nullptr;
  const ModuleState& state = state_of(module);
  auto read = input.with([](auto text) { return quorlane::parse_statement(text, {}, package_reading()); });
  if (!read) {
    quorlane_glue::raise_statement_error(read.error(), *state.api->errors);
    return nullptr;
  }
  return package_statement(state, std::move(read).value());
}

namespace {

// The bytes of an argument that must be bytes. False with TypeError for anything else.
bool bytes_argument(PyObject* data, std::string_view& bytes) {
  if (!PyBytes_Check(data)) {
    PyErr_Format(PyExc_TypeError, "expected bytes, not %.200s", Py_TYPE(data)->tp_name);
    return false;
  }
  bytes = {PyBytes_AS_STRING(data), static_cast<std::size_t>(PyBytes_GET_SIZE(data))};
  return true;
}

}  // namespace

PyObject* declares_dos(PyObject*, PyObject* data) {
  std::string_view bytes;
  if (!bytes_argument(data, bytes)) return nullptr;
  return PyBool_FromLong(quorlane::declares_dos(bytes));
}

PyObject* line_feeds(PyObject*, PyObject* data) {
  std::string_view bytes;
  if (!bytes_argument(data, bytes)) return nullptr;
  return PyLong_FromSize_t(quorlane::count_line_feeds(bytes));
}

}  // namespace quorlane_accel

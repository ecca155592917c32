// The statement's own text in another encoding and with other line ends, through the core's converter.
#include "convert.h"

#include <cstring>
#include <string>
#include <variant>

#include "quorlane/convert.h"
#include "ref.h"
#include "statement_input.h"

namespace quorlane_accel {
namespace {

using quorlane_glue::Ref;

PyObject* failure(const quorlane::Unconvertible& problem) {
  if (const auto* unencodable = std::get_if<quorlane::Unencodable>(&problem)) {
    return Py_BuildValue("(sKnI)", "unencodable", static_cast<unsigned long long>(unencodable->lineno),
                         static_cast<Py_ssize_t>(unencodable->column), static_cast<unsigned>(unencodable->code_point));
  }
  if (std::holds_alternative<quorlane::NotReadBack>(problem)) {
    return Py_BuildValue("(sOOO)", "implausible", Py_None, Py_None, Py_None);
  }
  const auto& cr = std::get<quorlane::CarriageReturnAtEnd>(problem);
  return Py_BuildValue("(sKnI)", "carriage return", static_cast<unsigned long long>(cr.lineno),
                       static_cast<Py_ssize_t>(cr.column), 13u);
}

}  // namespace

PyObject* convert(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  if (nargs != 3 || !PyUnicode_Check(args[1]) || !PyUnicode_Check(args[2])) {
    PyErr_SetString(PyExc_TypeError, "convert(statement, target, newline) takes a statement and two str");
    return nullptr;
  }
  const char* target_name = PyUnicode_AsUTF8(args[1]);
  const char* newline_name = PyUnicode_AsUTF8(args[2]);
  if (!target_name || !newline_name) return nullptr;
  const bool to_utf8 = std::strcmp(target_name, "utf-8") == 0;
  if (!to_utf8 && std::strcmp(target_name, "cp1251") != 0) {
    PyErr_SetString(PyExc_ValueError, "target must be \"utf-8\" or \"cp1251\"");
    return nullptr;
  }
  const bool crlf = std::strcmp(newline_name, "\r\n") == 0;
  if (!crlf && std::strcmp(newline_name, "\n") != 0) {
    PyErr_SetString(PyExc_ValueError, "newline must be \"\\r\\n\" or \"\\n\"");
    return nullptr;
  }
  const quorlane::Encoding target = to_utf8 ? quorlane::Encoding::Utf8 : quorlane::Encoding::Cp1251;
  const quorlane::Newline newline = crlf ? quorlane::Newline::CrLf : quorlane::Newline::Lf;
  return with_statement(args[0], [&](auto input) -> PyObject* {
    auto converted = quorlane::convert_statement(input, target, newline);
    if (!converted) Py_RETURN_NONE;  // no text to be had: the reader's own error tells why
    const quorlane::Converted& text = converted.value();
    if (!text) return failure(text.error());
    return PyBytes_FromStringAndSize(text.value().data(), static_cast<Py_ssize_t>(text.value().size()));
  });
}

}  // namespace quorlane_accel

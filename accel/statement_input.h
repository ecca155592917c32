// A statement as the package hands it to the core: bytes, or a str read through its code points.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <string_view>

#include "quorlane/decode.h"

namespace quorlane_accel {

inline std::string_view bytes_view(PyObject* bytes) noexcept {
  return {PyBytes_AS_STRING(bytes), static_cast<std::size_t>(PyBytes_GET_SIZE(bytes))};
}

inline quorlane::CodePoints code_points(PyObject* str) noexcept {
  return {PyUnicode_DATA(str), static_cast<std::size_t>(PyUnicode_GET_LENGTH(str)),
          static_cast<unsigned>(PyUnicode_KIND(str))};
}

// Calls read(std::string_view) for bytes and read(quorlane::CodePoints) for a str; TypeError for anything else.
template <class Read>
auto with_statement(PyObject* statement, Read read) -> decltype(read(std::string_view())) {
  if (PyBytes_Check(statement)) return read(bytes_view(statement));
  if (PyUnicode_Check(statement)) return read(code_points(statement));
  PyErr_SetString(PyExc_TypeError, "statement must be bytes or str");
  return nullptr;
}

}  // namespace quorlane_accel

#include "statement_input.h"

#include "str_conversion.h"

namespace quorlane_glue {

bool statement_input(PyObject* arg, StatementInput& input) noexcept {
  if (PyUnicode_Check(arg)) {
#if PY_VERSION_HEX < 0x030C0000
    if (PyUnicode_READY(arg) < 0) {
      PyErr_Clear();
      PyErr_SetString(PyExc_TypeError, kStatementTypeMessage);
      return false;
    }
#endif
    const quorlane::CodePoints points = code_points(arg);
    if (PyUnicode_IS_ASCII(arg)) {
      input.bytes = {static_cast<const char*>(points.data), points.count};
    } else {
      input.text = points;
      input.is_text = true;
    }
    return true;
  }
  if (PyBytes_Check(arg)) {
    input.bytes = {PyBytes_AS_STRING(arg), static_cast<std::size_t>(PyBytes_GET_SIZE(arg))};
    return true;
  }
  PyErr_SetString(PyExc_TypeError, kStatementTypeMessage);
  return false;
}

}  // namespace quorlane_glue

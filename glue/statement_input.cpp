#include "statement_input.h"

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
    const auto length = static_cast<std::size_t>(PyUnicode_GET_LENGTH(arg));
    if (PyUnicode_IS_ASCII(arg)) {
      input.bytes = {static_cast<const char*>(PyUnicode_DATA(arg)), length};
    } else {
      input.text = {PyUnicode_DATA(arg), length, static_cast<unsigned>(PyUnicode_KIND(arg))};
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

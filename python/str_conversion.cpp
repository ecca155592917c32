#include "str_conversion.h"

#include <cstring>

namespace quorlane_py {

PyObject* new_str(std::string_view utf8) noexcept {
  return PyUnicode_DecodeUTF8(utf8.data(), static_cast<Py_ssize_t>(utf8.size()), "strict");
}

const char* type_name(PyTypeObject* type) noexcept {
  const char* dot = std::strrchr(type->tp_name, '.');
  return dot ? dot + 1 : type->tp_name;
}

void set_conversion_error(PyObject* obj, const char* target) noexcept {
  PyErr_Format(PyExc_TypeError, "'%s' object cannot be converted to '%s'", type_name(Py_TYPE(obj)), target);
}

}  // namespace quorlane_py

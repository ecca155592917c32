#include "str_conversion.h"

#include <cstdint>

namespace quorlane_py {
namespace {

// Writes the UTF-8 form of the code points to `out` (room for four bytes a code point). The end of what was
// written, or null at the first surrogate, which UTF-8 cannot hold.
template <class Unit>
char* encode_utf8(const Unit* units, std::size_t count, char* out) noexcept {
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t c = units[i];
    if (c < 0x80) {
      *out++ = static_cast<char>(c);
    } else if (c < 0x800) {
      *out++ = static_cast<char>(0xC0 | (c >> 6));
      *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      if (c >= 0xD800 && c <= 0xDFFF) return nullptr;
      *out++ = static_cast<char>(0xE0 | (c >> 12));
      *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
      *out++ = static_cast<char>(0xF0 | (c >> 18));
      *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace

PyObject* new_str(std::string_view utf8) noexcept {
  return PyUnicode_DecodeUTF8(utf8.data(), static_cast<Py_ssize_t>(utf8.size()), "strict");
}

bool append_utf8(std::string& out, PyObject* text) {
#if PY_VERSION_HEX < 0x030C0000
  if (PyUnicode_READY(text) < 0) return false;
#endif
  const auto length = static_cast<std::size_t>(PyUnicode_GET_LENGTH(text));
  const void* data = PyUnicode_DATA(text);
  if (PyUnicode_IS_ASCII(text)) {
    out.append(static_cast<const char*>(data), length);  // ASCII is its own UTF-8
    return true;
  }
  const std::size_t start = out.size();
  const int kind = PyUnicode_KIND(text);
  out.resize(start + length * (kind == PyUnicode_1BYTE_KIND ? 2 : kind == PyUnicode_2BYTE_KIND ? 3 : 4));
  char* begin = out.data() + start;
  char* end = kind == PyUnicode_1BYTE_KIND   ? encode_utf8(static_cast<const Py_UCS1*>(data), length, begin)
              : kind == PyUnicode_2BYTE_KIND ? encode_utf8(static_cast<const Py_UCS2*>(data), length, begin)
                                             : encode_utf8(static_cast<const Py_UCS4*>(data), length, begin);
  if (end == nullptr) {
    out.resize(start);
    Ref refused = Ref::steal(PyUnicode_AsUTF8String(text));  // raises the strict conversion's own error
    if (refused) PyErr_SetString(PyExc_SystemError, "a str with a surrogate was encoded");  // cannot happen
    return false;
  }
  out.resize(static_cast<std::size_t>(end - out.data()));
  return true;
}

PyObject* type_name(PyTypeObject* type) noexcept {
  Ref name = Ref::steal(PyObject_GetAttrString(reinterpret_cast<PyObject*>(type), "__name__"));
  if (name && PyUnicode_Check(name.get())) return name.release();
  PyErr_Clear();
  return PyUnicode_FromString(type->tp_name);
}

void set_conversion_error(PyObject* obj, const char* target) noexcept {
  Ref name = Ref::steal(type_name(Py_TYPE(obj)));
  if (name) PyErr_Format(PyExc_TypeError, "'%U' object cannot be converted to '%s'", name.get(), target);
}

}  // namespace quorlane_py

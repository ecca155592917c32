#include "str_conversion.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "quorlane/utf8.h"
#include "quorlane/single_byte_codecs.h"

namespace quorlane_glue {
namespace {

// What one pass over a text taken to be UTF-8 finds out before its str is made: its length in code points (its
// bytes that are not continuation bytes) and the widest kind of code point it holds, told by its largest byte (a
// lead byte from 0xC4 on starts a code point past 0xFF). Two plain loops the compiler vectorises; whether the
// text is well-formed is checked as it is decoded.
struct Utf8Shape {
  std::size_t count = 0;
  Py_UCS4 widest = 0;  // 0x7F, 0xFF, 0xFFFF or 0x10FFFF: the top of the narrowest kind that holds every one
};

Utf8Shape shape_of(const unsigned char* p, std::size_t size) noexcept {
  std::size_t continuations = 0;
  unsigned char top = 0;
  for (std::size_t i = 0; i < size; ++i) {
    continuations += quorlane::is_utf8_continuation(p[i]);
    top = p[i] > top ? p[i] : top;
  }
  const Py_UCS4 widest = top < 0x80 ? 0x7F : top < 0xC4 ? 0xFF : top < 0xF0 ? 0xFFFF : 0x10FFFF;
  return Utf8Shape{size - continuations, widest};
}

// Decodes UTF-8 into code units as wide as its shape says, at most one unit for each byte that is not a
// continuation byte. False at the first ill-formed sequence (an overlong form, a surrogate, past U+10FFFF, cut
// short), never reading past the text; what was written is then meaningless.
template <class Unit>
bool decode_utf8(const unsigned char* p, std::size_t size, Unit* out) noexcept {
  std::size_t i = 0;
  while (i < size) {
    if (size - i >= 8 && quorlane::all_ascii8(p + i)) {
      for (std::size_t k = 0; k < 8; ++k) out[k] = p[i + k];
      out += 8;
      i += 8;
      continue;
    }
    char32_t c = 0;
    const std::size_t length = quorlane::read_utf8(p + i, size - i, c);
    if (length == 0) return false;
    i += length;
    *out++ = static_cast<Unit>(c);
  }
  return true;
}

}  // namespace

PyObject* new_str(std::string_view utf8) noexcept {
  if (utf8.empty()) return PyUnicode_New(0, 0);  // a view of nothing may hold no pointer at all
  // Made into a str of the right width from the start: the interpreter's own decoder widens and shrinks its
  // result as it goes.
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const Utf8Shape shape = shape_of(p, utf8.size());
  Ref text = Ref::steal(PyUnicode_New(static_cast<Py_ssize_t>(shape.count), shape.widest));
  if (!text) return nullptr;
  void* data = PyUnicode_DATA(text.get());
  bool valid = true;
  if (shape.widest == 0x7F) {
    std::memcpy(data, p, utf8.size());
  } else if (shape.widest == 0xFF) {
    valid = decode_utf8(p, utf8.size(), static_cast<Py_UCS1*>(data));
  } else if (shape.widest == 0xFFFF) {
    valid = decode_utf8(p, utf8.size(), static_cast<Py_UCS2*>(data));
  } else {
    valid = decode_utf8(p, utf8.size(), static_cast<Py_UCS4*>(data));
  }
  if (!valid) return PyUnicode_DecodeUTF8(utf8.data(), static_cast<Py_ssize_t>(utf8.size()), "strict");
  return text.release();
}

PyObject* new_str_cp1251(std::string_view text) noexcept {
  if (text.empty()) return PyUnicode_New(0, 0);
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  char32_t top = 0;
  for (const unsigned char byte : text) top = std::max(top, quorlane::kWindows1251.character(byte));
  const Py_UCS4 widest = top < 0x80 ? 0x7F : top < 0x100 ? 0xFF : 0xFFFF;
  Ref made = Ref::steal(PyUnicode_New(static_cast<Py_ssize_t>(text.size()), widest));
  if (!made) return nullptr;
  void* data = PyUnicode_DATA(made.get());
  if (widest == 0x7F) {
    std::memcpy(data, p, text.size());
  } else if (widest == 0xFF) {
    for (std::size_t i = 0; i < text.size(); ++i) {
      static_cast<Py_UCS1*>(data)[i] = static_cast<Py_UCS1>(quorlane::kWindows1251.character(p[i]));
    }
  } else {
    for (std::size_t i = 0; i < text.size(); ++i) {
      static_cast<Py_UCS2*>(data)[i] = static_cast<Py_UCS2>(quorlane::kWindows1251.character(p[i]));
    }
  }
  return made.release();
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
  const quorlane::CodePoints points = code_points(text);
  out.resize(start + quorlane::utf8_room(points));
  char* end = quorlane::write_utf8(points, out.data() + start);
  if (end == nullptr) {  // a lone surrogate, which UTF-8 cannot hold
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

}  // namespace quorlane_glue

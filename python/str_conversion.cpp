#include "str_conversion.h"

#include <cstdint>
#include <cstring>

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

// What one pass over UTF-8 finds out before the str is made: its length in code points and the widest kind of
// code point it holds (which decides how the str stores them).
struct Utf8Shape {
  std::size_t count = 0;
  Py_UCS4 widest = 0;  // 0x7F, 0xFF, 0xFFFF or 0x10FFFF: the top of the narrowest kind that holds every one
  bool valid = true;
};

bool is_continuation(unsigned char byte) noexcept { return (byte & 0xC0) == 0x80; }

// Whether the eight bytes at `p` are all ASCII.
bool ascii8(const unsigned char* p) noexcept {
  std::uint64_t word;
  std::memcpy(&word, p, 8);
  return (word & 0x8080808080808080ull) == 0;
}

Utf8Shape shape_of(const unsigned char* p, std::size_t size) noexcept {
  Utf8Shape shape;
  unsigned char lead_max = 0;
  std::size_t i = 0;
  while (i < size) {
    if (size - i >= 8 && ascii8(p + i)) {
      i += 8;
      shape.count += 8;
      continue;
    }
    const unsigned char lead = p[i];
    std::size_t length = 1;
    if (lead >= 0x80) {
      // Lengths and second-byte ranges of well-formed UTF-8 (no overlongs, no surrogates, nothing past U+10FFFF).
      unsigned char low = 0x80;
      unsigned char high = 0xBF;
      if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
      } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
      } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
      } else {
        shape.valid = false;
        return shape;
      }
      if (size - i < length || p[i + 1] < low || p[i + 1] > high) {
        shape.valid = false;
        return shape;
      }
      for (std::size_t k = 2; k < length; ++k) {
        if (!is_continuation(p[i + k])) {
          shape.valid = false;
          return shape;
        }
      }
      if (lead > lead_max) lead_max = lead;
    }
    i += length;
    ++shape.count;
  }
  shape.widest = lead_max < 0x80 ? 0x7F : lead_max <= 0xC3 ? 0xFF : lead_max <= 0xEF ? 0xFFFF : 0x10FFFF;
  return shape;
}

// Decodes well-formed UTF-8 into code units wide enough for every code point in it.
template <class Unit>
void decode_utf8(const unsigned char* p, std::size_t size, Unit* out) noexcept {
  std::size_t i = 0;
  while (i < size) {
    if (size - i >= 8 && ascii8(p + i)) {
      for (std::size_t k = 0; k < 8; ++k) out[k] = p[i + k];
      out += 8;
      i += 8;
      continue;
    }
    const unsigned char lead = p[i];
    Py_UCS4 c;
    if (lead < 0x80) {
      c = lead;
      i += 1;
    } else if (lead < 0xE0) {
      c = (Py_UCS4{lead} & 0x1F) << 6 | (p[i + 1] & 0x3F);
      i += 2;
    } else if (lead < 0xF0) {
      c = (Py_UCS4{lead} & 0x0F) << 12 | (Py_UCS4{p[i + 1]} & 0x3F) << 6 | (p[i + 2] & 0x3F);
      i += 3;
    } else {
      c = (Py_UCS4{lead} & 0x07) << 18 | (Py_UCS4{p[i + 1]} & 0x3F) << 12 | (Py_UCS4{p[i + 2]} & 0x3F) << 6 |
          (p[i + 3] & 0x3F);
      i += 4;
    }
    *out++ = static_cast<Unit>(c);
  }
}

}  // namespace

PyObject* new_str(std::string_view utf8) noexcept {
  // Made in two passes over the text, into a str of the right width from the start: the interpreter's own
  // decoder widens and shrinks its result as it goes.
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const Utf8Shape shape = shape_of(p, utf8.size());
  if (!shape.valid) return PyUnicode_DecodeUTF8(utf8.data(), static_cast<Py_ssize_t>(utf8.size()), "strict");
  PyObject* text = PyUnicode_New(static_cast<Py_ssize_t>(shape.count), shape.widest);
  if (!text) return nullptr;
  void* data = PyUnicode_DATA(text);
  if (shape.widest == 0x7F) {
    std::memcpy(data, p, utf8.size());
  } else if (shape.widest == 0xFF) {
    decode_utf8(p, utf8.size(), static_cast<Py_UCS1*>(data));
  } else if (shape.widest == 0xFFFF) {
    decode_utf8(p, utf8.size(), static_cast<Py_UCS2*>(data));
  } else {
    decode_utf8(p, utf8.size(), static_cast<Py_UCS4*>(data));
  }
  return text;
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

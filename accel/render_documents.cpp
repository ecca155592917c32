// render_documents: writes the document sections of a statement straight into bytes of the
// target encoding. It takes the common case only: every value a str (or None, which leaves its line out)
// free of line breaks, NUL and the other characters the strict writer refuses, encodable, and every date in
// the form YYYY-MM-DD. Anything else makes it answer None, and the Python writer, which explains every
// problem, takes over. The keys and their order come from the caller; all this file knows of the format is the
// form of its dates.
#include "render_documents.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "ref.h"

namespace quorlane_accel {
namespace {

using quorlane_py::Ref;

// Code points below 0x20 that the strict writer refuses: NUL, LF, VT, FF, CR and the separators 0x1C..0x1E
// (above 0x7F it refuses U+0085, U+2028 and U+2029).
constexpr std::uint32_t kRefusedControls =
    (1u << 0x00) | (1u << 0x0A) | (1u << 0x0B) | (1u << 0x0C) | (1u << 0x0D) | (1u << 0x1C) | (1u << 0x1D) |
    (1u << 0x1E);

// The output, grown as needed; callers reserve room before they put.
class Output {
 public:
  void reserve(std::size_t n) {
    if (bytes_.capacity() - bytes_.size() < n) bytes_.reserve(bytes_.size() + n + bytes_.size() / 2 + 4096);
  }
  void put(char c) { bytes_.push_back(c); }
  void put(const char* p, std::size_t n) { bytes_.append(p, n); }
  void put(const std::string& s) { bytes_.append(s); }
  // The bytes written: a new reference, or null with an exception.
  PyObject* to_bytes() const {
    return PyBytes_FromStringAndSize(bytes_.data(), static_cast<Py_ssize_t>(bytes_.size()));
  }

 private:
  std::string bytes_;
};

// The output encoding: UTF-8, or a single-byte table for the Basic Multilingual Plane (0 = not encodable,
// apart from U+0000, which is refused before it is looked up).
class Encoder {
 public:
  // `table` is the 256-character decoding table of the single-byte encoding, or None for UTF-8.
  bool init(PyObject* table) {
    if (table == Py_None) return true;
    if (!PyUnicode_Check(table) || PyUnicode_GET_LENGTH(table) != 256) {
      PyErr_SetString(PyExc_ValueError, "the decoding table must be a str of 256 characters");
      return false;
    }
    single_byte_ = std::make_unique<std::array<unsigned char, 0x10000>>();
    single_byte_->fill(0);
    for (Py_ssize_t byte = 255; byte >= 0; --byte) {
      const Py_UCS4 c = PyUnicode_READ_CHAR(table, byte);
      if (c < 0x10000) (*single_byte_)[c] = static_cast<unsigned char>(byte);
    }
    return true;
  }

  // The most bytes a text of n characters can take.
  std::size_t most_bytes(Py_ssize_t n) const noexcept { return static_cast<std::size_t>(n) * (single_byte_ ? 1 : 4); }

  // Appends the text (room reserved by the caller); false when it holds a refused or unencodable character.
  bool append(Output& out, PyObject* text) const {
    const Py_ssize_t n = PyUnicode_GET_LENGTH(text);
    if (PyUnicode_IS_ASCII(text)) {
      const auto* p = static_cast<const unsigned char*>(PyUnicode_DATA(text));
      for (Py_ssize_t i = 0; i < n; ++i) {
        if (p[i] < 0x20 && ((kRefusedControls >> p[i]) & 1u)) return false;
      }
      out.put(reinterpret_cast<const char*>(p), static_cast<std::size_t>(n));
      return true;
    }
    switch (PyUnicode_KIND(text)) {
      case PyUnicode_1BYTE_KIND:
        return append_chars(out, PyUnicode_1BYTE_DATA(text), n);
      case PyUnicode_2BYTE_KIND:
        return append_chars(out, PyUnicode_2BYTE_DATA(text), n);
      default:
        return append_chars(out, PyUnicode_4BYTE_DATA(text), n);
    }
  }

 private:
  template <class Char>
  bool append_chars(Output& out, const Char* chars, Py_ssize_t n) const {
    for (Py_ssize_t i = 0; i < n; ++i) {
      const std::uint32_t c = chars[i];
      if (c < 0x80) {
        if (c < 0x20 && ((kRefusedControls >> c) & 1u)) return false;
        out.put(static_cast<char>(c));
        continue;
      }
      if (c == 0x85 || c == 0x2028 || c == 0x2029) return false;
      if (single_byte_) {
        const unsigned char byte = c < 0x10000 ? (*single_byte_)[c] : 0;
        if (byte == 0) return false;
        out.put(static_cast<char>(byte));
      } else if (c < 0x800) {
        const char bytes[2] = {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
        out.put(bytes, 2);
      } else if (c < 0x10000) {
        if (c >= 0xD800 && c <= 0xDFFF) return false;  // a lone surrogate has no UTF-8 form
        const char bytes[3] = {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                               static_cast<char>(0x80 | (c & 0x3F))};
        out.put(bytes, 3);
      } else {
        const char bytes[4] = {static_cast<char>(0xF0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
                               static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
        out.put(bytes, 4);
      }
    }
    return true;
  }

  std::unique_ptr<std::array<unsigned char, 0x10000>> single_byte_;
};

// Appends YYYY-MM-DD as DD.MM.YYYY (10 bytes reserved by the caller); false for any other form (signed years
// are left to the Python writer).
bool append_date(Output& out, PyObject* text) {
  if (!PyUnicode_IS_ASCII(text) || PyUnicode_GET_LENGTH(text) != 10) return false;
  const auto* d = static_cast<const char*>(PyUnicode_DATA(text));
  for (int i : {0, 1, 2, 3, 5, 6, 8, 9}) {
    if (d[i] < '0' || d[i] > '9') return false;
  }
  if (d[4] != '-' || d[7] != '-') return false;
  const char dotted[10] = {d[8], d[9], '.', d[5], d[6], '.', d[0], d[1], d[2], d[3]};
  out.put(dotted, 10);
  return true;
}

// One line of a section: its key with the "=", encoded; the attribute that holds the value and, for the
// documents' own class, its data descriptor, called directly.
struct Line {
  std::string key;
  PyObject* name;  // borrowed from the caller's tuple, which outlives the call
  bool date;
  Ref descriptor;
};

// The value of one attribute: through the class's descriptor when the object is of that class.
PyObject* attribute(PyObject* object, const Line& line, PyTypeObject* type) {
  if (Py_TYPE(object) == type && line.descriptor) {
    PyObject* descriptor = line.descriptor.get();
    return Py_TYPE(descriptor)->tp_descr_get(descriptor, object, reinterpret_cast<PyObject*>(type));
  }
  return PyObject_GetAttr(object, line.name);
}

std::string bytes_of(PyObject* bytes) {
  return std::string(PyBytes_AS_STRING(bytes), static_cast<std::size_t>(PyBytes_GET_SIZE(bytes)));
}

}  // namespace

PyObject* render_documents(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  if (nargs != 9) {
    PyErr_SetString(PyExc_TypeError, "render_documents takes 9 arguments");
    return nullptr;
  }
  PyObject* documents = args[0];
  PyObject* head = args[1];
  PyObject* tail = args[2];
  PyObject* names = args[3];
  PyObject* keys = args[4];
  PyObject* dates = args[5];
  PyObject* newline = args[6];
  PyObject* closing = args[7];
  bool sound = PyList_Check(documents) && PyBytes_Check(head) && PyBytes_Check(tail) && PyTuple_Check(names) &&
               PyTuple_Check(keys) && PyTuple_Check(dates) && PyBytes_Check(newline) && PyBytes_Check(closing) &&
               PyTuple_GET_SIZE(keys) == PyTuple_GET_SIZE(names) && PyTuple_GET_SIZE(dates) == PyTuple_GET_SIZE(names);
  for (Py_ssize_t i = 0; sound && i < PyTuple_GET_SIZE(names); ++i) {
    sound = PyUnicode_Check(PyTuple_GET_ITEM(names, i)) && PyBytes_Check(PyTuple_GET_ITEM(keys, i));
  }
  if (!sound) {
    PyErr_SetString(PyExc_TypeError, "render_documents: arguments of the wrong type");
    return nullptr;
  }
  Encoder encoder;
  if (!encoder.init(args[8])) return nullptr;
  const std::string line_end = bytes_of(newline);
  const std::string closing_line = bytes_of(closing) + line_end;

  const Py_ssize_t count = PyList_GET_SIZE(documents);
  PyTypeObject* type = count ? Py_TYPE(PyList_GET_ITEM(documents, 0)) : nullptr;
  std::vector<Line> lines;
  std::size_t longest_key = 0;
  for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(names); ++i) {
    Line line{bytes_of(PyTuple_GET_ITEM(keys, i)), PyTuple_GET_ITEM(names, i),
              PyObject_IsTrue(PyTuple_GET_ITEM(dates, i)) == 1, Ref()};
    if (type) {
      // A data descriptor of the class (a getter) is called directly; anything else goes through getattr.
      PyObject* found = PyObject_GetAttr(reinterpret_cast<PyObject*>(type), line.name);
      Ref owned = Ref::steal(found);
      if (found && Py_TYPE(found)->tp_descr_get && Py_TYPE(found)->tp_descr_set) {
        line.descriptor = std::move(owned);
      } else {
        PyErr_Clear();
      }
    }
    longest_key = std::max(longest_key, line.key.size());
    lines.push_back(std::move(line));
  }

  Output out;
  out.reserve(static_cast<std::size_t>(PyBytes_GET_SIZE(head)));
  out.put(bytes_of(head));
  for (Py_ssize_t i = 0; i < count; ++i) {
    PyObject* document = PyList_GET_ITEM(documents, i);
    for (const Line& line : lines) {
      Ref value = Ref::steal(attribute(document, line, type));
      if (!value) return nullptr;
      if (value.get() == Py_None) continue;
      if (!PyUnicode_Check(value.get())) Py_RETURN_NONE;
      out.reserve(longest_key + line_end.size() + encoder.most_bytes(PyUnicode_GET_LENGTH(value.get())) + 10);
      out.put(line.key);
      if (!(line.date ? append_date(out, value.get()) : encoder.append(out, value.get()))) Py_RETURN_NONE;
      out.put(line_end);
    }
    out.reserve(closing_line.size());
    out.put(closing_line);
  }
  out.reserve(static_cast<std::size_t>(PyBytes_GET_SIZE(tail)));
  out.put(bytes_of(tail));
  return out.to_bytes();
}

}  // namespace quorlane_accel


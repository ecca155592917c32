// render_documents: writes the document sections of a statement straight into bytes of the
// target encoding. It takes the common case only: every value a str (or None, which leaves its line out)
// free of line breaks, NUL and the other characters the strict writer refuses, encodable, and every date as
// Document attributes give dates. Anything else makes it answer None, and the Python writer, which explains
// every problem, takes over. The keys and their order come from the caller; the characters refused, the
// encodings and the dates are the core's.
#include "render_documents.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

#include "quorlane/line_breaks.h"
#include "quorlane/utf8.h"
#include "quorlane/values.h"
#include "quorlane/single_byte_codecs.h"
#include "module_state.h"
#include "quorlane/document_fields.h"
#include "quorlane/records.h"
#include "ref.h"
#include "str_conversion.h"

namespace quorlane_accel {
namespace {

using quorlane_glue::Ref;

// The output, grown as needed; callers reserve room before they put.
class Output {
 public:
  void reserve(std::size_t n) {
    if (bytes_.capacity() - bytes_.size() < n) bytes_.reserve(bytes_.size() + n + bytes_.size() / 2 + 4096);
  }
  void put(char c) { bytes_.push_back(c); }
  void put(const char* p, std::size_t n) { bytes_.append(p, n); }
  void put(const std::string& s) { bytes_.append(s); }
  std::size_t size() const noexcept { return bytes_.size(); }
  void truncate(std::size_t size) { bytes_.resize(size); }
  // The bytes written: a new reference, or null with an exception.
  PyObject* to_bytes() const {
    return PyBytes_FromStringAndSize(bytes_.data(), static_cast<Py_ssize_t>(bytes_.size()));
  }

 private:
  std::string bytes_;
};

// The output encoding: UTF-8, or windows-1251 by the core's one encoder.
class Encoder {
 public:
  // `encoding` is "utf-8" or "cp1251".
  bool init(PyObject* encoding) {
    const char* name = PyUnicode_Check(encoding) ? PyUnicode_AsUTF8(encoding) : nullptr;
    if (name && std::strcmp(name, "utf-8") == 0) return true;
    if (!name || std::strcmp(name, "cp1251") != 0) {
      if (!PyErr_Occurred()) PyErr_SetString(PyExc_ValueError, "the encoding must be \"utf-8\" or \"cp1251\"");
      return false;
    }
    single_byte_ = true;
    return true;
  }

  // The most bytes a text of n characters can take.
  std::size_t most_bytes(Py_ssize_t n) const noexcept {
    return static_cast<std::size_t>(n) * (single_byte_ ? 1 : quorlane::kMaxUtf8Bytes);
  }

  // Appends the text (room reserved by the caller); false when it holds a refused or unencodable character.
  bool append(Output& out, PyObject* text) const {
    return quorlane_glue::each_code_point(text, [&](char32_t c) { return append_char(out, c); }) ==
           PyUnicode_GET_LENGTH(text);
  }

  // One character (room reserved by the caller); false for a refused or unencodable one.
  bool append_char(Output& out, char32_t c) const {
    if (quorlane::is_line_break_anywhere(c)) return false;
    if (c < 0x80) {
      out.put(static_cast<char>(c));
    } else if (single_byte_) {
      const unsigned char byte = quorlane::kWindows1251Encoder.byte(c);
      if (byte == 0) return false;
      out.put(static_cast<char>(byte));
    } else {
      if (quorlane::is_surrogate(c)) return false;  // a lone surrogate has no UTF-8 form
      char bytes[quorlane::kMaxUtf8Bytes];
      out.put(bytes, static_cast<std::size_t>(quorlane::put_utf8(bytes, c) - bytes));
    }
    return true;
  }

  // A record's text, written in `written` (room for most_bytes(text.size()) reserved by the caller).
  bool append_text(Output& out, std::string_view text, quorlane::Encoding written) const {
    if (written == quorlane::Encoding::Cp1251) {
      for (const char byte : text) {
        if (!append_char(out, quorlane::kWindows1251.character(static_cast<unsigned char>(byte)))) return false;
      }
      return true;
    }
    for (std::size_t pos = 0; pos < text.size();) {
      if (!append_char(out, quorlane::next_code_point(text, pos))) return false;
    }
    return true;
  }

 private:
  bool single_byte_ = false;
};

// Appends a date as Document attributes give it (YYYY-MM-DD, or a signed year) as DD.MM.YYYY (room for
// kMaxDottedDateBytes reserved by the caller); false for any other text.
bool append_date(Output& out, PyObject* text) {
  Py_ssize_t size = 0;
  const char* iso = PyUnicode_AsUTF8AndSize(text, &size);
  if (!iso) {
    PyErr_Clear();
    return false;
  }
  const auto date = quorlane::read_iso_date(std::string_view(iso, static_cast<std::size_t>(size)));
  if (!date) return false;
  char dotted[quorlane::kMaxDottedDateBytes];
  out.put(dotted, static_cast<std::size_t>(quorlane::put_dotted_date(dotted, *date) - dotted));
  return true;
}

// One line of a section: its key with the "=", encoded; the attribute that holds the value and, for the
// documents' own class, its data descriptor, called directly.
struct Line {
  std::string key;
  PyObject* name;  // borrowed from the caller's tuple, which outlives the call
  bool date;
  Ref descriptor;
  int field = -1;  // the record's field, where the attribute is quorlane_py.Document's own getter of it
};

// Whether `found`, what quorlane_py.Document's attribute `name` is now, is still the class's own getter of the
// field of that name (Python code may have replaced it): then the record is read in its place.
bool is_own_getter(PyObject* found, PyObject* name, PyTypeObject* document_type) {
#if defined(PYPY_VERSION)
  (void)found, (void)name, (void)document_type;
  return false;
#else
  if (!Py_IS_TYPE(found, &PyGetSetDescr_Type)) return false;
  Ref owner = Ref::steal(PyObject_GetAttrString(found, "__objclass__"));
  Ref own_name = Ref::steal(PyObject_GetAttrString(found, "__name__"));
  if (!owner || !own_name) {
    PyErr_Clear();
    return false;
  }
  return owner.get() == reinterpret_cast<PyObject*>(document_type) &&
         PyObject_RichCompareBool(own_name.get(), name, Py_EQ) == 1;
#endif
}

// Writes the value of the record's field as Document's getter gives it, converted as the line says; Skipped
// for an absent value, Refused for one the fast writer leaves to the explaining one.
enum class Written { Done, Skipped, Refused };

Written put_field(Output& out, const Encoder& encoder, const quorlane::DocumentRecord& record, int field) {
  const auto text = [&](std::string_view value) {
    out.reserve(encoder.most_bytes(static_cast<Py_ssize_t>(value.size())) * 2);
    return encoder.append_text(out, value, record.text_encoding) ? Written::Done : Written::Refused;
  };
  const auto date = [&](const quorlane::Date& value) {
    out.reserve(quorlane::kMaxDottedDateBytes);
    char dotted[quorlane::kMaxDottedDateBytes];
    out.put(dotted, static_cast<std::size_t>(quorlane::put_dotted_date(dotted, value) - dotted));
    return Written::Done;
  };
  const auto visit = [&](const auto& value) -> Written {
    using T = std::decay_t<decltype(value)>;
    if constexpr (std::is_same_v<T, std::string_view>) {
      return text(value);
    } else if constexpr (std::is_same_v<T, quorlane::OptionalText>) {
      return value.has_value() ? text(value.value()) : Written::Skipped;
    } else if constexpr (std::is_same_v<T, quorlane::Date>) {
      return date(value);
    } else if constexpr (std::is_same_v<T, std::optional<quorlane::Date>>) {
      return value ? date(*value) : Written::Skipped;
    } else {
      const std::string amount = quorlane::format_amount(value);
      out.reserve(amount.size());
      out.put(amount);
      return Written::Done;
    }
  };
  switch (field) {
#define QUORLANE_FIELD_CASE(attribute, key, kind) \
  case quorlane::document_field_index::attribute: return visit(record.attribute);
    QUORLANE_DOCUMENT_FIELDS(QUORLANE_FIELD_CASE)
#undef QUORLANE_FIELD_CASE
  }
  return Written::Refused;
}

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

PyObject* render_documents(PyObject* module, PyObject* const* args, Py_ssize_t nargs) {
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

  // The documents as the call found them, each held: a getter may run Python code that changes the list.
  Ref held = Ref::steal(PyList_AsTuple(documents));
  if (!held) return nullptr;
  const Py_ssize_t count = PyTuple_GET_SIZE(held.get());
  PyTypeObject* type = count ? Py_TYPE(PyTuple_GET_ITEM(held.get(), 0)) : nullptr;
  const ModuleState& state = state_of(module);
  const auto refused = [&] {
    PyErr_SetNone(state.not_rendered);
    return nullptr;
  };
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
        if (type == state.api->document_type && is_own_getter(found, line.name, type)) {
          const char* name = PyUnicode_AsUTF8(line.name);
          if (name == nullptr) return nullptr;
          const int field = quorlane::document_field_of_attribute(name);
          const quorlane::FieldKind kind = field >= 0 ? quorlane::kDocumentFields[field].kind : quorlane::FieldKind::Text;
          const bool is_date = kind == quorlane::FieldKind::Date || kind == quorlane::FieldKind::OptionalDate;
          if (is_date == line.date) line.field = field;
        }
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
    PyObject* document = PyTuple_GET_ITEM(held.get(), i);
    const quorlane::DocumentRecord* record = state.api->document_record(document);
    for (const Line& line : lines) {
      if (record != nullptr && line.field >= 0) {
        const std::size_t start = out.size();
        out.reserve(longest_key);
        out.put(line.key);
        const Written written = put_field(out, encoder, *record, line.field);
        if (written == Written::Refused) return refused();
        if (written == Written::Skipped) {
          out.truncate(start);
          continue;
        }
        out.reserve(line_end.size());
        out.put(line_end);
        continue;
      }
      Ref value = Ref::steal(attribute(document, line, type));
      if (!value) return nullptr;
      if (value.get() == Py_None) continue;
      if (!PyUnicode_Check(value.get())) return refused();
      out.reserve(longest_key + line_end.size() + encoder.most_bytes(PyUnicode_GET_LENGTH(value.get())) +
                  quorlane::kMaxDottedDateBytes);
      out.put(line.key);
      if (!(line.date ? append_date(out, value.get()) : encoder.append(out, value.get()))) return refused();
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


#include "text.h"

#include <array>
#include <string>
#include <string_view>

#include "quorlane/declared_encoding.h"
#include "quorlane/document_fields.h"
#include "quorlane/line_breaks.h"
#include "quorlane/lines.h"
#include "quorlane/plausibility.h"
#include "quorlane/quoted.h"
#include "quorlane/statement_tables.h"
#include "quorlane/values.h"
#include "quorlane/single_byte_codecs.h"
#include "ref.h"
#include "str_conversion.h"

namespace quorlane_accel {
namespace {

using quorlane_glue::Ref;

bool is_str(PyObject* text) {
  if (PyUnicode_Check(text)) return true;
  PyErr_Format(PyExc_TypeError, "expected str, not %.200s", Py_TYPE(text)->tp_name);
  return false;
}

using quorlane_glue::new_str;

// A str of the characters below U+3000 for which `member` holds.
template <class Member>
PyObject* characters_where(Member member) {
  std::u32string chars;
  for (char32_t c = 0; c < 0x3000; ++c) {
    if (member(c)) chars.push_back(c);
  }
  return PyUnicode_FromKindAndData(PyUnicode_4BYTE_KIND, chars.data(), static_cast<Py_ssize_t>(chars.size()));
}

// The characters of the bytes 0..255, as a str (a decoding table for codecs.charmap_decode).
PyObject* single_byte_table(const quorlane::SingleByteCodec& codec) {
  std::u32string chars;
  for (unsigned byte = 0; byte < 0x100; ++byte) chars.push_back(codec.character(static_cast<unsigned char>(byte)));
  return PyUnicode_FromKindAndData(PyUnicode_4BYTE_KIND, chars.data(), static_cast<Py_ssize_t>(chars.size()));
}

PyObject* markers() {
  using quorlane::Marker;
  const Marker all[] = {Marker::FileStart, Marker::AccountStart, Marker::AccountEnd,
                        Marker::DocumentStart, Marker::DocumentEnd, Marker::FileEnd};
  Ref tuple = Ref::steal(PyTuple_New(std::size(all)));
  if (!tuple) return nullptr;
  for (std::size_t i = 0; i < std::size(all); ++i) {
    std::string_view text = quorlane::marker_text(all[i]);
    if (all[i] == Marker::DocumentStart && !text.empty() && text.back() == '=') text.remove_suffix(1);
    PyObject* item = new_str(text);
    if (!item) return nullptr;
    PyTuple_SET_ITEM(tuple.get(), static_cast<Py_ssize_t>(i), item);
  }
  return tuple.release();
}

const char* kind_name(quorlane::FieldKind kind) {
  switch (kind) {
    case quorlane::FieldKind::Text: return "text";
    case quorlane::FieldKind::OptionalText: return "optional text";
    case quorlane::FieldKind::Date: return "date";
    case quorlane::FieldKind::OptionalDate: return "optional date";
    case quorlane::FieldKind::Amount: return "amount";
    case quorlane::FieldKind::OptionalAmount: return "optional amount";
  }
  return "";
}

// A field table as (attribute, key, kind) triples, in `order` (indexes into `fields`).
template <class Fields, class Order>
PyObject* field_table(const Fields& fields, const Order& order) {
  Ref tuple = Ref::steal(PyTuple_New(static_cast<Py_ssize_t>(std::size(order))));
  if (!tuple) return nullptr;
  Py_ssize_t i = 0;
  for (const int index : order) {
    const quorlane::DocumentField& field = fields[static_cast<std::size_t>(index)];
    PyObject* item = Py_BuildValue("(s#s#s)", field.attribute.data(), static_cast<Py_ssize_t>(field.attribute.size()),
                                   field.key.data(), static_cast<Py_ssize_t>(field.key.size()), kind_name(field.kind));
    if (!item) return nullptr;
    PyTuple_SET_ITEM(tuple.get(), i++, item);
  }
  return tuple.release();
}

constexpr std::array<int, quorlane::interval_field::count> kIntervalOrder = {0, 1, 2, 3, 4, 5};
static_assert(quorlane::interval_field::count == 6);

}  // namespace

PyObject* quoted(PyObject*, PyObject* text) {
  if (!is_str(text)) return nullptr;
  return new_str(quorlane::quoted(quorlane_glue::code_points(text)));
}

PyObject* encode(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  if (nargs != 2 || !is_str(args[0]) || !is_str(args[1])) {
    if (!PyErr_Occurred()) PyErr_SetString(PyExc_TypeError, "encode(text, encoding) takes two str");
    return nullptr;
  }
  PyObject* text = args[0];
  const char* encoding = PyUnicode_AsUTF8(args[1]);
  if (encoding == nullptr) return nullptr;
  if (std::string_view(encoding) == "utf-8") return PyUnicode_AsUTF8String(text);
  if (std::string_view(encoding) != "cp1251") {
    PyErr_SetString(PyExc_ValueError, "the encoding must be \"utf-8\" or \"cp1251\"");
    return nullptr;
  }
  const Py_ssize_t length = PyUnicode_GET_LENGTH(text);
  Ref bytes = Ref::steal(PyBytes_FromStringAndSize(nullptr, length));
  if (!bytes) return nullptr;
  char* out = PyBytes_AS_STRING(bytes.get());
  const Py_ssize_t stopped = quorlane_glue::each_code_point(text, [&](char32_t c) {
    const unsigned char byte = quorlane::kWindows1251Encoder.byte(c);
    if (byte == 0 && c != 0) return false;
    *out++ = static_cast<char>(byte);
    return true;
  });
  if (stopped != length) {
    // As Python's codecs say it, so that callers read the place from the error.
    PyObject* error = PyObject_CallFunction(PyExc_UnicodeEncodeError, "sOnns", "cp1251", text, stopped, stopped + 1,
                                            "character maps to <undefined>");
    if (error != nullptr) {
      PyErr_SetObject(PyExc_UnicodeEncodeError, error);
      Py_DECREF(error);
    }
    return nullptr;
  }
  return bytes.release();
}

PyObject* plausible(PyObject*, PyObject* text) {
  if (!is_str(text)) return nullptr;
  return PyBool_FromLong(quorlane::is_plausible(quorlane_glue::code_points(text)));
}

PyObject* dotted_date(PyObject*, PyObject* iso) {
  if (!is_str(iso)) return nullptr;
  Py_ssize_t size = 0;
  const char* text = PyUnicode_AsUTF8AndSize(iso, &size);
  if (!text) return nullptr;
  const auto date = quorlane::read_iso_date(std::string_view(text, static_cast<std::size_t>(size)));
  if (!date) Py_RETURN_NONE;
  char dotted[quorlane::kMaxDottedDateBytes];
  return new_str(std::string_view(dotted, static_cast<std::size_t>(quorlane::put_dotted_date(dotted, *date) - dotted)));
}

PyObject* iso_date(PyObject*, PyObject* text) {
  if (!is_str(text)) return nullptr;
  Py_ssize_t size = 0;
  const char* utf8 = PyUnicode_AsUTF8AndSize(text, &size);
  if (!utf8) return nullptr;
  auto date = quorlane::read_date(std::string_view(utf8, static_cast<std::size_t>(size)));
  if (!date) Py_RETURN_NONE;
  return new_str(quorlane::format_date(date.value()));
}

PyObject* key_column(PyObject*, PyObject* key) {
  if (!is_str(key)) return nullptr;
  std::string utf8;
  if (!quorlane_glue::append_utf8(utf8, key)) return nullptr;
  return new_str(quorlane::key_column_name(utf8));
}

bool add_text_constants(quorlane_glue::Registrar& registrar) {
  using quorlane_glue::Ref;
  return registrar.add("WINDOWS_1251", Ref::steal(single_byte_table(quorlane::kWindows1251))) &&
         registrar.add("IBM866", Ref::steal(single_byte_table(quorlane::kIbm866))) &&
         registrar.add("LINE_BREAKS", Ref::steal(characters_where(quorlane::is_line_break_anywhere))) &&
         registrar.add("PLAUSIBILITY_CHARS", Ref::steal(PyLong_FromSize_t(quorlane::kPlausibilityChars))) &&
         registrar.add("PLAUSIBLE_PERCENT", Ref::steal(PyLong_FromSize_t(quorlane::kPlausibleMinPercent))) &&
         registrar.add("MARKERS", Ref::steal(markers())) &&
         registrar.add("ENCODING_KEY", Ref::steal(new_str(quorlane::kEncodingKey))) &&
         registrar.add("DOCUMENT_TABLE",
                       Ref::steal(field_table(quorlane::kDocumentFields, quorlane::kDocumentColumns))) &&
         registrar.add("INTERVAL_TABLE", Ref::steal(field_table(quorlane::kIntervalFields, kIntervalOrder)));
}

}  // namespace quorlane_accel

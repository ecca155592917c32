// Document: one payment document. The object holds the core's small document handle, whose block keeps the
// record and its texts alive; every attribute read creates its str.
#include <string>
#include <string_view>

#include "quorlane/decode.h"
#include "quorlane/quoted.h"
#include "glue.h"
#include "result_classes.h"
#include "field_values.h"
#include "record_class.h"

namespace quorlane_py {
namespace {

// A record's texts are UTF-8, or windows-1251 as its statement was written (text_encoding tells which).
std::string utf8_of(const quorlane::DocumentRecord& record, std::string_view text) {
  return quorlane::to_utf8(text, record.text_encoding);
}

// Texts compare as Python sees them: as UTF-8 when the two records keep them in different encodings.
struct SameAsUtf8 {
  const quorlane::DocumentRecord& a;
  const quorlane::DocumentRecord& b;

  bool operator()(std::string_view x, std::string_view y) const { return utf8_of(a, x) == utf8_of(b, y); }
  bool operator()(const quorlane::OptionalText& x, const quorlane::OptionalText& y) const {
    return x.has_value() == y.has_value() && (!x.has_value() || (*this)(x.value(), y.value()));
  }
  template <class T>
  bool operator()(const T& x, const T& y) const {
    return same_text(x, y);
  }
};

bool same_document_text(const quorlane::Document& a, const quorlane::Document& b) {
  if (a->text_encoding == b->text_encoding) {
#define QUORLANE_SAME(field) &&same_text(a->field, b->field)
    return true QUORLANE_DOCUMENT_COLUMNS(QUORLANE_SAME);
#undef QUORLANE_SAME
  }
  const SameAsUtf8 same{*a, *b};
#define QUORLANE_SAME(field) &&same(a->field, b->field)
  return true QUORLANE_DOCUMENT_COLUMNS(QUORLANE_SAME);
#undef QUORLANE_SAME
}

using Class = RecordClass<quorlane::Document, same_document_text>;

PyTypeObject* the_class = nullptr;

const quorlane::DocumentRecord& value_of(PyObject* self) noexcept { return *Class::of(self); }

PyObject* text_to_python(const quorlane::DocumentRecord& record, std::string_view text) {
  return new_str(text, record.text_encoding);
}

PyObject* field_to_python(const quorlane::DocumentRecord& record, std::string_view text) {
  return text_to_python(record, text);
}

PyObject* field_to_python(const quorlane::DocumentRecord& record, const quorlane::OptionalText& text) {
  return text.has_value() ? text_to_python(record, text.value()) : Ref::borrow(Py_None).release();
}

template <class T>
PyObject* field_to_python(const quorlane::DocumentRecord&, const T& value) {
  return to_python(value);
}

template <auto Field>
PyObject* get(PyObject* self, void*) {
  const quorlane::DocumentRecord& record = value_of(self);
  return field_to_python(record, record.*Field);
}

PyObject* repr(PyObject* self) {
  const quorlane::DocumentRecord& v = value_of(self);
  return repr_of([&](std::string& out) {
    out += "Document(doc_number=";
    quorlane::append_quoted(out, utf8_of(v, v.doc_number));
    out += ", doc_type=";
    quorlane::append_quoted(out, utf8_of(v, v.doc_type));
    out += ", doc_date=";
    append_quoted_value(out, v.doc_date);
    out += ", amount=";
    append_quoted_value(out, v.amount);
    out += ')';
  });
}

PyGetSetDef getset[] = {
#define QUORLANE_GETTER(field) {#field, entry_point<get<&quorlane::DocumentRecord::field>>, nullptr, nullptr, nullptr},
    QUORLANE_DOCUMENT_COLUMNS(QUORLANE_GETTER)
#undef QUORLANE_GETTER
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

PyObject* document_class() {
  if (!the_class) the_class = Class::create("Document", entry_point<repr>, getset);
  return reinterpret_cast<PyObject*>(the_class);
}

PyObject* new_document(quorlane::Document&& document) noexcept {
  return Class::make(the_class, std::move(document));
}

const quorlane::DocumentRecord* document_record(PyObject* object) noexcept {
  return the_class != nullptr && Py_TYPE(object) == the_class ? &value_of(object) : nullptr;
}

}  // namespace quorlane_py

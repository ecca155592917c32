// Document: one payment document. The object holds the core's small document handle, whose block keeps the
// record and its texts alive; every attribute read creates its str.
#include "quorlane/quoted.h"
#include "entry_point.h"
#include "result_classes.h"
#include "field_values.h"
#include "record_class.h"

// The attributes in their Python order; each is a field of quorlane::DocumentRecord of the same name.
#define QUORLANE_DOCUMENT_FIELDS(X)                                                                       \
  X(doc_number) X(doc_type) X(doc_date) X(amount) X(purpose) X(payment_type) X(ordering)                  \
  X(counterparty_inn) X(counterparty_kpp) X(counterparty_bic) X(counterparty_bank1)                      \
  X(counterparty_account) X(counterparty) X(counterparty_1) X(counterparty_ras_account)                   \
  X(counterparty_cor_account) X(outcome_date) X(payee_inn) X(payee) X(payee_account) X(payee_kpp)         \
  X(payee_bic) X(payee_bank1) X(payee_ras_account) X(payee_cor_account) X(income_date)

namespace quorlane_py {
namespace {

bool same_document_text(const quorlane::Document& a, const quorlane::Document& b) noexcept {
#define QUORLANE_SAME(field) && same_text(a->field, b->field)
  return true QUORLANE_DOCUMENT_FIELDS(QUORLANE_SAME);
#undef QUORLANE_SAME
}

using Class = RecordClass<quorlane::Document, same_document_text>;

PyTypeObject* the_class = nullptr;

const quorlane::DocumentRecord& value_of(PyObject* self) noexcept { return *Class::of(self); }

template <auto Field>
PyObject* get(PyObject* self, void*) {
  return to_python(value_of(self).*Field);
}

PyObject* repr(PyObject* self) {
  const quorlane::DocumentRecord& v = value_of(self);
  return repr_of([&](std::string& out) {
    out += "Document(doc_number=";
    quorlane::append_quoted(out, v.doc_number);
    out += ", doc_type=";
    quorlane::append_quoted(out, v.doc_type);
    out += ", doc_date=";
    append_quoted_value(out, v.doc_date);
    out += ", amount=";
    append_quoted_value(out, v.amount);
    out += ')';
  });
}

PyGetSetDef getset[] = {
#define QUORLANE_GETTER(field) {#field, entry_point<get<&quorlane::DocumentRecord::field>>, nullptr, nullptr, nullptr},
    QUORLANE_DOCUMENT_FIELDS(QUORLANE_GETTER)
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

}  // namespace quorlane_py

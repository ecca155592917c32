// Document: one payment document. The object holds the core's small document handle, whose block keeps the
// record and its texts alive; every attribute read creates its str.
#include <memory>
#include <new>

#include "common.h"
#include "quorlane/quoted.h"
#include "result_classes.h"
#include "result_values.h"

// The attributes in their Python order; each is a field of quorlane::DocumentRecord of the same name.
#define QUORLANE_DOCUMENT_FIELDS(X)                                                                       \
  X(doc_number) X(doc_type) X(doc_date) X(amount) X(purpose) X(payment_type) X(ordering)                  \
  X(counterparty_inn) X(counterparty_kpp) X(counterparty_bic) X(counterparty_bank1)                      \
  X(counterparty_account) X(counterparty) X(counterparty_1) X(counterparty_ras_account)                   \
  X(counterparty_cor_account) X(outcome_date) X(payee_inn) X(payee) X(payee_account) X(payee_kpp)         \
  X(payee_bic) X(payee_bank1) X(payee_ras_account) X(payee_cor_account) X(income_date)

namespace quorlane_py {
namespace {

struct DocumentObject {
  PyObject_HEAD
  quorlane::Document value;
};

PyTypeObject* the_class = nullptr;

const quorlane::DocumentRecord& value_of(PyObject* self) noexcept {
  return *reinterpret_cast<DocumentObject*>(self)->value;
}

template <auto Field>
PyObject* get(PyObject* self, void*) noexcept {
  return to_python(value_of(self).*Field);
}

void dealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  std::destroy_at(&reinterpret_cast<DocumentObject*>(self)->value);
  type->tp_free(self);
  Py_DECREF(type);
}

PyObject* repr(PyObject* self) noexcept {
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

bool same_document_text(const quorlane::DocumentRecord& a, const quorlane::DocumentRecord& b) noexcept {
#define QUORLANE_SAME(field) && same_text(a.field, b.field)
  return true QUORLANE_DOCUMENT_FIELDS(QUORLANE_SAME);
#undef QUORLANE_SAME
}

PyObject* richcompare(PyObject* self, PyObject* other, int op) noexcept {
  if ((op != Py_EQ && op != Py_NE) || Py_TYPE(other) != Py_TYPE(self)) Py_RETURN_NOTIMPLEMENTED;
  return equality_result(same_document_text(value_of(self), value_of(other)), op);
}

PyGetSetDef getset[] = {
#define QUORLANE_GETTER(field) {#field, get<&quorlane::DocumentRecord::field>, nullptr, nullptr, nullptr},
    QUORLANE_DOCUMENT_FIELDS(QUORLANE_GETTER)
#undef QUORLANE_GETTER
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(repr)},
    {Py_tp_richcompare, reinterpret_cast<void*>(richcompare)},
    {Py_tp_hash, reinterpret_cast<void*>(PyObject_HashNotImplemented)},
    {Py_tp_getset, getset},
    {Py_tp_new, reinterpret_cast<void*>(refuse_construction)},
    {0, nullptr},
};

PyType_Spec spec = {"Document", sizeof(DocumentObject), 0, Py_TPFLAGS_DEFAULT, slots};

}  // namespace

PyObject* document_class() noexcept {
  if (!the_class) the_class = reinterpret_cast<PyTypeObject*>(new_class(&spec));
  return reinterpret_cast<PyObject*>(the_class);
}

PyObject* new_document(quorlane::Document&& document) noexcept {
  PyObject* self = the_class->tp_alloc(the_class, 0);
  if (!self) return nullptr;
  new (&reinterpret_cast<DocumentObject*>(self)->value) quorlane::Document(std::move(document));
  return self;
}

}  // namespace quorlane_py

// Interval: one period of an account with its balances.
#include <memory>
#include <new>

#include "common.h"
#include "result_classes.h"
#include "result_values.h"

namespace quorlane_py {
namespace {

struct IntervalObject {
  PyObject_HEAD
  quorlane::Interval value;
};

PyTypeObject* the_class = nullptr;

const quorlane::Interval& value_of(PyObject* self) noexcept {
  return reinterpret_cast<IntervalObject*>(self)->value;
}

template <auto Field>
PyObject* get(PyObject* self, void*) noexcept {
  return to_python(value_of(self).*Field);
}

void dealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  std::destroy_at(&reinterpret_cast<IntervalObject*>(self)->value);
  type->tp_free(self);
  Py_DECREF(type);
}

PyObject* repr(PyObject* self) noexcept {
  const quorlane::Interval& v = value_of(self);
  return repr_of([&](std::string& out) {
    out += "Interval(date_start=";
    append_quoted_value(out, v.date_start);
    out += ", date_end=";
    append_optional(out, v.date_end);
    out += ", start_amount=";
    append_quoted_value(out, v.start_amount);
    out += ", end_amount=";
    append_optional(out, v.end_amount);
    out += ')';
  });
}

PyObject* richcompare(PyObject* self, PyObject* other, int op) noexcept {
  if ((op != Py_EQ && op != Py_NE) || Py_TYPE(other) != Py_TYPE(self)) Py_RETURN_NOTIMPLEMENTED;
  return equality_result(same_interval_text(value_of(self), value_of(other)), op);
}

PyGetSetDef getset[] = {
    {"date_start", get<&quorlane::Interval::date_start>, nullptr, nullptr, nullptr},
    {"date_end", get<&quorlane::Interval::date_end>, nullptr, nullptr, nullptr},
    {"start_amount", get<&quorlane::Interval::start_amount>, nullptr, nullptr, nullptr},
    {"end_amount", get<&quorlane::Interval::end_amount>, nullptr, nullptr, nullptr},
    {"total_income", get<&quorlane::Interval::total_income>, nullptr, nullptr, nullptr},
    {"total_expense", get<&quorlane::Interval::total_expense>, nullptr, nullptr, nullptr},
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

PyType_Spec spec = {"Interval", sizeof(IntervalObject), 0, Py_TPFLAGS_DEFAULT, slots};

}  // namespace

bool same_interval_text(const quorlane::Interval& a, const quorlane::Interval& b) noexcept {
  return same_text(a.date_start, b.date_start) && same_text(a.date_end, b.date_end) &&
         same_text(a.start_amount, b.start_amount) && same_text(a.end_amount, b.end_amount) &&
         same_text(a.total_income, b.total_income) && same_text(a.total_expense, b.total_expense);
}

PyObject* interval_class() noexcept {
  if (!the_class) the_class = reinterpret_cast<PyTypeObject*>(new_class(&spec));
  return reinterpret_cast<PyObject*>(the_class);
}

PyObject* new_interval(const quorlane::Interval& interval) noexcept {
  PyObject* self = the_class->tp_alloc(the_class, 0);
  if (!self) return nullptr;
  new (&reinterpret_cast<IntervalObject*>(self)->value) quorlane::Interval(interval);
  return self;
}

}  // namespace quorlane_py

// Account: an account number with its intervals. `intervals` hands out copies, so the account never changes.
#include <memory>
#include <new>
#include <string>

#include "common.h"
#include "quorlane/quoted.h"
#include "result_classes.h"
#include "result_values.h"

namespace quorlane_py {
namespace {

struct AccountObject {
  PyObject_HEAD
  quorlane::Account value;
};

PyTypeObject* the_class = nullptr;

const quorlane::Account& value_of(PyObject* self) noexcept {
  return reinterpret_cast<AccountObject*>(self)->value;
}

PyObject* get_number(PyObject* self, void*) noexcept { return new_str(value_of(self).number); }

// A new list of new Interval objects on every read.
PyObject* get_intervals(PyObject* self, void*) noexcept {
  const std::vector<quorlane::Interval>& intervals = value_of(self).intervals;
  Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(intervals.size())));
  if (!list) return nullptr;
  for (std::size_t i = 0; i < intervals.size(); ++i) {
    Ref item = Ref::steal(new_interval(intervals[i]));
    if (!item) return nullptr;
    PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), item.release());
  }
  return list.release();
}

void dealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  std::destroy_at(&reinterpret_cast<AccountObject*>(self)->value);
  type->tp_free(self);
  Py_DECREF(type);
}

PyObject* repr(PyObject* self) noexcept {
  const quorlane::Account& v = value_of(self);
  return repr_of([&](std::string& out) {
    out += "Account(number=";
    quorlane::append_quoted(out, v.number);
    out += ", intervals=[...";
    out += std::to_string(v.intervals.size());
    out += "])";
  });
}

bool same_account_text(const quorlane::Account& a, const quorlane::Account& b) noexcept {
  if (a.number != b.number || a.intervals.size() != b.intervals.size()) return false;
  for (std::size_t i = 0; i < a.intervals.size(); ++i) {
    if (!same_interval_text(a.intervals[i], b.intervals[i])) return false;
  }
  return true;
}

PyObject* richcompare(PyObject* self, PyObject* other, int op) noexcept {
  if ((op != Py_EQ && op != Py_NE) || Py_TYPE(other) != Py_TYPE(self)) Py_RETURN_NOTIMPLEMENTED;
  return equality_result(same_account_text(value_of(self), value_of(other)), op);
}

PyGetSetDef getset[] = {
    {"number", get_number, nullptr, nullptr, nullptr},
    {"intervals", get_intervals, nullptr, nullptr, nullptr},
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

PyType_Spec spec = {"Account", sizeof(AccountObject), 0, Py_TPFLAGS_DEFAULT, slots};

}  // namespace

PyObject* account_class() noexcept {
  if (!the_class) the_class = reinterpret_cast<PyTypeObject*>(new_class(&spec));
  return reinterpret_cast<PyObject*>(the_class);
}

PyObject* new_account(quorlane::Account&& account) noexcept {
  PyObject* self = the_class->tp_alloc(the_class, 0);
  if (!self) return nullptr;
  new (&reinterpret_cast<AccountObject*>(self)->value) quorlane::Account(std::move(account));
  return self;
}

}  // namespace quorlane_py

// Account: an account number with its intervals. `intervals` hands out copies, so the account never changes.
#include <string>

#include "glue.h"
#include "quorlane/quoted.h"
#include "result_classes.h"
#include "field_values.h"
#include "record_class.h"

namespace quorlane_py {
namespace {

bool same_account_text(const quorlane::Account& a, const quorlane::Account& b) noexcept {
  if (a.number != b.number || a.intervals.size() != b.intervals.size()) return false;
  for (std::size_t i = 0; i < a.intervals.size(); ++i) {
    if (!same_interval_text(a.intervals[i], b.intervals[i])) return false;
  }
  return true;
}

using Class = RecordClass<quorlane::Account, same_account_text>;

PyTypeObject* the_class = nullptr;

const quorlane::Account& value_of(PyObject* self) noexcept { return Class::of(self); }

PyObject* get_number(PyObject* self, void*) noexcept { return new_str(value_of(self).number); }

// A new list of new Interval objects on every read.
PyObject* get_intervals(PyObject* self, void*) noexcept {
  return new_list(value_of(self).intervals, new_interval);
}

PyObject* repr(PyObject* self) {
  const quorlane::Account& v = value_of(self);
  return repr_of([&](std::string& out) {
    out += "Account(number=";
    quorlane::append_quoted(out, v.number);
    out += ", intervals=[...";
    out += std::to_string(v.intervals.size());
    out += "])";
  });
}

PyGetSetDef getset[] = {
    {"number", get_number, nullptr, nullptr, nullptr},
    {"intervals", get_intervals, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

PyObject* account_class() {
  if (!the_class) the_class = Class::create("Account", entry_point<repr>, getset);
  return reinterpret_cast<PyObject*>(the_class);
}

PyObject* new_account(quorlane::Account&& account) noexcept {
  return Class::make(the_class, std::move(account));
}

}  // namespace quorlane_py

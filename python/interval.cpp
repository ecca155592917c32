// Interval: one period of an account with its balances.
#include "glue.h"
#include "result_classes.h"
#include "field_values.h"
#include "record_class.h"

namespace quorlane_py {
namespace {

using Class = RecordClass<quorlane::Interval, same_interval_text>;

PyTypeObject* the_class = nullptr;

const quorlane::Interval& value_of(PyObject* self) noexcept { return Class::of(self); }

template <auto Field>
PyObject* get(PyObject* self, void*) {
  return to_python(value_of(self).*Field);
}

PyObject* repr(PyObject* self) {
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

PyGetSetDef getset[] = {
    {"date_start", entry_point<get<&quorlane::Interval::date_start>>, nullptr, nullptr, nullptr},
    {"date_end", entry_point<get<&quorlane::Interval::date_end>>, nullptr, nullptr, nullptr},
    {"start_amount", entry_point<get<&quorlane::Interval::start_amount>>, nullptr, nullptr, nullptr},
    {"end_amount", entry_point<get<&quorlane::Interval::end_amount>>, nullptr, nullptr, nullptr},
    {"total_income", entry_point<get<&quorlane::Interval::total_income>>, nullptr, nullptr, nullptr},
    {"total_expense", entry_point<get<&quorlane::Interval::total_expense>>, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

bool same_interval_text(const quorlane::Interval& a, const quorlane::Interval& b) noexcept {
  return same_text(a.date_start, b.date_start) && same_text(a.date_end, b.date_end) &&
         same_text(a.start_amount, b.start_amount) && same_text(a.end_amount, b.end_amount) &&
         same_text(a.total_income, b.total_income) && same_text(a.total_expense, b.total_expense);
}

PyObject* interval_class() {
  if (!the_class) the_class = Class::create("Interval", entry_point<repr>, getset);
  return reinterpret_cast<PyObject*>(the_class);
}

PyObject* new_interval(const quorlane::Interval& interval) noexcept {
  return Class::make(the_class, interval);
}

}  // namespace quorlane_py

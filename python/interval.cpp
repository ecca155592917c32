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
#define QUORLANE_GETTER(field, key, kind) \
  {#field, entry_point<get<&quorlane::Interval::field>>, nullptr, nullptr, nullptr},
    QUORLANE_INTERVAL_FIELDS(QUORLANE_GETTER)
#undef QUORLANE_GETTER
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

bool same_interval_text(const quorlane::Interval& a, const quorlane::Interval& b) noexcept {
#define QUORLANE_SAME(field, key, kind) &&same_text(a.field, b.field)
  return true QUORLANE_INTERVAL_FIELDS(QUORLANE_SAME);
#undef QUORLANE_SAME
}

PyObject* interval_class() {
  if (!the_class) the_class = Class::create("Interval", entry_point<repr>, getset);
  return reinterpret_cast<PyObject*>(the_class);
}

PyObject* new_interval(const quorlane::Interval& interval) noexcept {
  return Class::make(the_class, interval);
}

}  // namespace quorlane_py

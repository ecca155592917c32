#include "field_values.h"

#include "glue.h"
#include "quorlane/quoted.h"

namespace quorlane_py {
namespace {

PyObject* none() noexcept { return Ref::borrow(Py_None).release(); }

}  // namespace

PyObject* to_python(std::string_view text) noexcept { return new_str(text); }

PyObject* to_python(const quorlane::OptionalText& text) noexcept {
  return text.has_value() ? new_str(text.value()) : none();
}

PyObject* to_python(const quorlane::Date& date) { return new_str(quorlane::format_date(date)); }

PyObject* to_python(const std::optional<quorlane::Date>& date) {
  return date ? to_python(*date) : none();
}

PyObject* to_python(const quorlane::Amount& amount) { return new_str(quorlane::format_amount(amount)); }

PyObject* to_python(const std::optional<quorlane::Amount>& amount) {
  return amount ? to_python(*amount) : none();
}

void append_quoted_value(std::string& out, const quorlane::Date& date) {
  quorlane::append_quoted(out, quorlane::format_date(date));
}

void append_quoted_value(std::string& out, const quorlane::Amount& amount) {
  quorlane::append_quoted(out, quorlane::format_amount(amount));
}

namespace {

template <class T>
void append_optional_value(std::string& out, const std::optional<T>& value) {
  if (!value) {
    out += "None";
    return;
  }
  out += "Some(";
  append_quoted_value(out, *value);
  out += ')';
}

}  // namespace

void append_optional(std::string& out, const std::optional<quorlane::Date>& date) {
  append_optional_value(out, date);
}

void append_optional(std::string& out, const std::optional<quorlane::Amount>& amount) {
  append_optional_value(out, amount);
}

}  // namespace quorlane_py

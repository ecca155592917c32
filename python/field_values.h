// How the fields of the core's records reach Python: as str (or None), made on every read; and how the result
// classes compare them and show them in reprs.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "glue.h"
#include "quorlane/records.h"
#include "quorlane/values.h"

namespace quorlane_py {

// Each returns a new reference, or null with an exception set. Dates and amounts are formatted first, which
// may throw std::bad_alloc.
PyObject* to_python(std::string_view text) noexcept;
PyObject* to_python(const quorlane::OptionalText& text) noexcept;
PyObject* to_python(const quorlane::Date& date);
PyObject* to_python(const std::optional<quorlane::Date>& date);
PyObject* to_python(const quorlane::Amount& amount);
PyObject* to_python(const std::optional<quorlane::Amount>& amount);

// Equal exactly when Python sees the same text (or None on both sides). Dates and amounts compare by
// representation, which is what their formatted texts show.
inline bool same_text(std::string_view a, std::string_view b) noexcept { return a == b; }
inline bool same_text(const quorlane::OptionalText& a, const quorlane::OptionalText& b) noexcept {
  return a.has_value() == b.has_value() && (!a.has_value() || a.value() == b.value());
}
template <class T>
bool same_text(const T& a, const T& b) noexcept {
  return a == b;
}

// Repr pieces: the quoted text form, and the optional form None / Some("...").
void append_quoted_value(std::string& out, const quorlane::Date& date);
void append_quoted_value(std::string& out, const quorlane::Amount& amount);
void append_optional(std::string& out, const std::optional<quorlane::Date>& date);
void append_optional(std::string& out, const std::optional<quorlane::Amount>& amount);

// Runs `build`, which composes a repr, and returns the text as a new str.
template <class Build>
PyObject* repr_of(Build&& build) {
  std::string text;
  build(text);
  return new_str(text);
}

}  // namespace quorlane_py

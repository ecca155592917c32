// Between the core's texts (UTF-8) and Python's str.
#pragma once

#include <string>
#include <string_view>

#include "quorlane/decode.h"
#include "ref.h"

namespace quorlane_glue {

// A new str from UTF-8 text (the core only holds valid UTF-8). New reference, or null with an exception.
PyObject* new_str(std::string_view utf8) noexcept;

// A new str from windows-1251 text, each byte a character of the reader's table. New reference, or null with
// an exception.
PyObject* new_str_cp1251(std::string_view text) noexcept;

// A new str of a core text written in `encoding`.
inline PyObject* new_str(std::string_view text, quorlane::Encoding encoding) noexcept {
  return encoding == quorlane::Encoding::Utf8 ? new_str(text) : new_str_cp1251(text);
}

// A str's code points where they lie, as the core reads text (precondition: a ready str).
inline quorlane::CodePoints code_points(PyObject* text) noexcept {
  return {PyUnicode_DATA(text), static_cast<std::size_t>(PyUnicode_GET_LENGTH(text)),
          static_cast<unsigned>(PyUnicode_KIND(text))};
}

// Calls visit(code point) for each code point of a ready str until it
// answers false, and returns the index of that one, or the length.
template <class Visit>
Py_ssize_t each_code_point(PyObject* text, Visit&& visit) {
  return quorlane::with_units(code_points(text), [&](const auto* units, std::size_t count) -> Py_ssize_t {
    for (std::size_t i = 0; i < count; ++i) {
      if (!visit(static_cast<char32_t>(units[i]))) return static_cast<Py_ssize_t>(i);
    }
    return static_cast<Py_ssize_t>(count);
  });
}

// Appends the UTF-8 form of `text`, a str, to `out`. Unlike PyUnicode_AsUTF8AndSize it leaves no UTF-8 copy
// cached inside a non-ASCII str. False, with `out` as it was and the strict conversion's UnicodeEncodeError
// set, when the str holds a lone surrogate.
bool append_utf8(std::string& out, PyObject* text);

// The type's __name__, as Python's messages show it ('int'; 'pkg.Dotted' for type("pkg.Dotted", (), {})), or
// its tp_name should __name__ not be a str. New reference, or null with an exception.
PyObject* type_name(PyTypeObject* type) noexcept;

// Sets TypeError "'TYPENAME' object cannot be converted to 'TARGET'", naming the object's type.
void set_conversion_error(PyObject* obj, const char* target) noexcept;

}  // namespace quorlane_glue

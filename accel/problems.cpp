#include "problems.h"

#include "ref.h"
#include "str_conversion.h"

namespace quorlane_accel {
namespace {

using quorlane_glue::Ref;

PyObject* number_or_none(const std::optional<std::uint64_t>& number) {
  return number ? PyLong_FromUnsignedLongLong(*number) : Ref::borrow(Py_None).release();
}

}  // namespace

PyObject* raise_problem(PyObject* type, std::string_view section, std::optional<std::string_view> key,
                        std::string_view message, const ProblemPlace& place, std::string_view code) {
  Ref section_text = Ref::steal(quorlane_glue::new_str(section));
  Ref key_text = Ref::steal(key ? quorlane_glue::new_str(*key) : Ref::borrow(Py_None).release());
  Ref message_text = Ref::steal(quorlane_glue::new_str(message));
  Ref position = Ref::steal(number_or_none(place.position));
  Ref line = Ref::steal(number_or_none(place.line));
  Ref column = Ref::steal(number_or_none(place.column));
  Ref code_text = Ref::steal(quorlane_glue::new_str(code));
  if (!section_text || !key_text || !message_text || !position || !line || !column || !code_text) return nullptr;
  Ref args = Ref::steal(PyTuple_Pack(4, section_text.get(), key_text.get(), message_text.get(), position.get()));
  Ref keywords = Ref::steal(PyDict_New());
  if (!args || !keywords || PyDict_SetItemString(keywords.get(), "line", line.get()) < 0 ||
      PyDict_SetItemString(keywords.get(), "column", column.get()) < 0 ||
      PyDict_SetItemString(keywords.get(), "code", code_text.get()) < 0) {
    return nullptr;
  }
  Ref problem = Ref::steal(PyObject_Call(type, args.get(), keywords.get()));
  if (problem) PyErr_SetObject(type, problem.get());
  return nullptr;
}

}  // namespace quorlane_accel

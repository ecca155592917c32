#include "hooks.h"

#include <string>

#include "glue.h"
#include "section_type.h"

namespace quorlane_py {
namespace {

// Holds the interpreter lock for a scope (taking it only if the thread does not hold it yet).
class GilScope {
 public:
  GilScope() noexcept : state_(PyGILState_Ensure()) {}
  GilScope(const GilScope&) = delete;
  GilScope& operator=(const GilScope&) = delete;
  ~GilScope() { PyGILState_Release(state_); }

 private:
  PyGILState_STATE state_;
};

// Appends the text of a str. A str that is not valid UTF-8 (lone surrogates) is shown with U+FFFD in
// place of each invalid byte rather than lost.
bool append_text(std::string& out, PyObject* text) {
  if (append_utf8(out, text)) return true;
  PyErr_Clear();
  Ref raw = Ref::steal(PyUnicode_AsEncodedString(text, "utf-8", "surrogatepass"));
  if (!raw) return false;
  Ref lossy = Ref::steal(PyUnicode_DecodeUTF8(PyBytes_AS_STRING(raw.get()), PyBytes_GET_SIZE(raw.get()), "replace"));
  return lossy && append_utf8(out, lossy.get());
}

// The type's qualified name, without module: its __qualname__, or its name when that is unusable.
std::string qualified_name(PyObject* type) {
  std::string name;
  Ref qualname = Ref::steal(PyObject_GetAttrString(type, "__qualname__"));
  if (qualname && PyUnicode_Check(qualname.get()) && append_text(name, qualname.get())) return name;
  PyErr_Clear();
  Ref plain = Ref::steal(type_name(reinterpret_cast<PyTypeObject*>(type)));
  if (!plain || !append_text(name, plain.get())) PyErr_Clear();
  return name;
}

// Takes the pending exception (clearing it, never chaining it anywhere) and describes it as
// "QUALNAME: str(exc)", or "QUALNAME: <exception str() failed>" when its string form fails.
std::string take_failure_text() {
  Ref value = take_pending_error();
  if (!value) return "SystemError: <exception str() failed>";  // cannot happen: called with one pending

  std::string text = qualified_name(reinterpret_cast<PyObject*>(Py_TYPE(value.get())));
  text += ": ";
  Ref string_form = Ref::steal(PyObject_Str(value.get()));
  if (!string_form || !append_text(text, string_form.get())) {
    PyErr_Clear();  // append_text adds nothing when it fails, so "QUALNAME: " stands as it was
    text += "<exception str() failed>";
  }
  return text;
}

}  // namespace

quorlane::HookOutcome PythonHook::on_section(quorlane::SectionKind type, quorlane::AttributeMap& attrs,
                                             const quorlane::AttributeMap& header) {
  GilScope gil;
  Ref attrs_dict = Ref::steal(dicts_->new_attrs(attrs));
  if (!attrs_dict) return quorlane::Err(take_failure_text());
  Ref header_dict = Ref::steal(dicts_->new_header(header));
  if (!header_dict) return quorlane::Err(take_failure_text());
  Ref section_type = Ref::steal(new_section_type(type));
  if (!section_type) return quorlane::Err(take_failure_text());

  PyObject* args[] = {section_type.get(), attrs_dict.get(), header_dict.get()};
  Ref returned = Ref::steal(PyObject_Vectorcall(hook_.get(), args, 3, nullptr));
  if (!returned) return quorlane::Err(take_failure_text());
  returned = Ref();  // the return value means nothing

  if (!dicts_->write_back(attrs_dict.get(), attrs)) return quorlane::Err(take_failure_text());
  return {};
}

PythonHooks::PythonHooks(std::vector<Ref> objects) {
  hooks_.reserve(objects.size());  // never grows past this: pointers_ points into it
  pointers_.reserve(objects.size());
  for (Ref& object : objects) pointers_.push_back(&hooks_.emplace_back(std::move(object), dicts_));
}

}  // namespace quorlane_py

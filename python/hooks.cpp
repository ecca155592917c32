#include "hooks.h"

#include <string>

#include "str_conversion.h"
#include "result_classes.h"
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
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(text, &size);
  if (data) {
    out.append(data, static_cast<std::size_t>(size));
    return true;
  }
  PyErr_Clear();
  Ref raw = Ref::steal(PyUnicode_AsEncodedString(text, "utf-8", "surrogatepass"));
  if (!raw) return false;
  Ref lossy = Ref::steal(PyUnicode_DecodeUTF8(PyBytes_AS_STRING(raw.get()), PyBytes_GET_SIZE(raw.get()), "replace"));
  if (!lossy) return false;
  data = PyUnicode_AsUTF8AndSize(lossy.get(), &size);
  if (!data) return false;
  out.append(data, static_cast<std::size_t>(size));
  return true;
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
#if PY_VERSION_HEX >= 0x030C0000
  Ref value = Ref::steal(PyErr_GetRaisedException());
#else
  PyObject* raw_type = nullptr;
  PyObject* raw_value = nullptr;
  PyObject* raw_traceback = nullptr;
  PyErr_Fetch(&raw_type, &raw_value, &raw_traceback);
  PyErr_NormalizeException(&raw_type, &raw_value, &raw_traceback);
  Ref type = Ref::steal(raw_type);
  Ref value = Ref::steal(raw_value);
  Ref traceback = Ref::steal(raw_traceback);
#endif
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

// Copies the hook's attrs back into the section's map: every key and value must be a str that is valid
// UTF-8. False with an exception set at the first that is not.
bool write_back(PyObject* dict, quorlane::AttributeMap& attrs) {
  attrs.clear();
  Py_ssize_t pos = 0;
  PyObject* key = nullptr;
  PyObject* value = nullptr;
  while (PyDict_Next(dict, &pos, &key, &value)) {
    Py_ssize_t key_size = 0;
    Py_ssize_t value_size = 0;
    const char* key_text = nullptr;
    const char* value_text = nullptr;
    if (!PyUnicode_Check(key)) {
      set_conversion_error(key, "PyString");
      return false;
    }
    if (!(key_text = PyUnicode_AsUTF8AndSize(key, &key_size))) return false;
    if (!PyUnicode_Check(value)) {
      set_conversion_error(value, "PyString");
      return false;
    }
    if (!(value_text = PyUnicode_AsUTF8AndSize(value, &value_size))) return false;
    attrs.insert_copy({key_text, static_cast<std::size_t>(key_size)},
                      {value_text, static_cast<std::size_t>(value_size)});
  }
  return true;
}

quorlane::HookOutcome call_hook(PyObject* hook, quorlane::SectionType type, quorlane::AttributeMap& attrs,
                                const quorlane::AttributeMap& header) {
  Ref attrs_dict = Ref::steal(new_text_dict(attrs));
  if (!attrs_dict) return quorlane::HookOutcome::Error(take_failure_text());
  Ref header_dict = Ref::steal(new_text_dict(header));
  if (!header_dict) return quorlane::HookOutcome::Error(take_failure_text());
  Ref section_type = Ref::steal(new_section_type(type));
  if (!section_type) return quorlane::HookOutcome::Error(take_failure_text());

  PyObject* args[] = {section_type.get(), attrs_dict.get(), header_dict.get()};
  Ref returned = Ref::steal(PyObject_Vectorcall(hook, args, 3, nullptr));
  if (!returned) return quorlane::HookOutcome::Error(take_failure_text());
  returned = Ref();  // the return value means nothing

  if (!write_back(attrs_dict.get(), attrs)) return quorlane::HookOutcome::Error(take_failure_text());
  return quorlane::HookOutcome::Continue();
}

}  // namespace

quorlane::HookOutcome PythonHook::on_section(quorlane::SectionType type, quorlane::AttributeMap& attrs,
                                             const quorlane::AttributeMap& header) {
  GilScope gil;
  return call_hook(hook_.get(), type, attrs, header);
}

}  // namespace quorlane_py

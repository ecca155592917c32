#include "common.h"

#include <cstring>

namespace quorlane_py {

PyObject* new_str(std::string_view utf8) noexcept {
  return PyUnicode_DecodeUTF8(utf8.data(), static_cast<Py_ssize_t>(utf8.size()), "strict");
}

namespace {

// str of the attribute, or "<unknown>" when it is missing or not a str (the lookup error is cleared).
Ref name_part(PyObject* type, const char* attr) {
  Ref value = Ref::steal(PyObject_GetAttrString(type, attr));
  if (value && PyUnicode_Check(value.get())) return value;
  PyErr_Clear();
  return Ref::steal(PyUnicode_FromString("<unknown>"));
}

}  // namespace

PyObject* refuse_construction(PyTypeObject* type, PyObject*, PyObject*) noexcept {
  PyObject* as_object = reinterpret_cast<PyObject*>(type);
  Ref module = name_part(as_object, "__module__");
  Ref qualname = name_part(as_object, "__qualname__");
  if (!module || !qualname) return nullptr;
  PyErr_Format(PyExc_TypeError, "cannot create '%U.%U' instances", module.get(), qualname.get());
  return nullptr;
}

PyObject* new_class(PyType_Spec* spec) noexcept {
  Ref type = Ref::steal(PyType_FromSpec(spec));
  if (!type) return nullptr;
  Ref module_name = Ref::steal(PyUnicode_FromString(kModuleName));
  if (!module_name) return nullptr;
  if (PyObject_SetAttrString(type.get(), "__module__", module_name.get()) < 0) return nullptr;
  return type.release();
}

const char* type_name(PyTypeObject* type) noexcept {
  const char* dot = std::strrchr(type->tp_name, '.');
  return dot ? dot + 1 : type->tp_name;
}

void set_conversion_error(PyObject* obj, const char* target) noexcept {
  PyErr_Format(PyExc_TypeError, "'%s' object cannot be converted to '%s'", type_name(Py_TYPE(obj)), target);
}

bool Registrar::add(const char* name, PyObject* value) noexcept {
  if (!all_) {
    all_ = Ref::steal(PyList_New(0));
    if (!all_ || PyObject_SetAttrString(module_, "__all__", all_.get()) < 0) return false;
  }
  Ref text = Ref::steal(PyUnicode_FromString(name));
  if (!text || PyList_Append(all_.get(), text.get()) < 0) return false;
  return PyObject_SetAttrString(module_, name, value) == 0;
}

}  // namespace quorlane_py

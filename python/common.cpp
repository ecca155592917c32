#include "common.h"

#include <cstring>
#include <string>

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
  // The interpreter takes __module__ from a dotted spec name (and warns about a bare one), while the type
  // name should stay bare: create the class under "quorlane_py.NAME", then point tp_name at the bare name.
  std::string dotted = std::string(kModuleName) + "." + spec->name;
  PyType_Spec dotted_spec = *spec;
  dotted_spec.name = dotted.c_str();
  PyObject* type = PyType_FromSpec(&dotted_spec);
  if (type) reinterpret_cast<PyTypeObject*>(type)->tp_name = spec->name;
  return type;
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

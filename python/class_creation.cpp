#include "class_creation.h"

#include <cstring>
#include <string>

#include "registrar.h"

namespace quorlane_py {
namespace {

// str of the attribute, or "<unknown>" when it is missing or not a str (the lookup error is cleared).
Ref name_part(PyObject* type, const char* attr) noexcept {
  Ref value = Ref::steal(PyObject_GetAttrString(type, attr));
  if (value && PyUnicode_Check(value.get())) return value;
  PyErr_Clear();
  return Ref::steal(PyUnicode_FromString("<unknown>"));
}

// "quorlane_py.NAME": a class's name as the interpreter wants it when it creates the class.
std::string dotted_name(const PyType_Spec& spec) { return std::string(kModuleName) + "." + spec.name; }

}  // namespace

namespace {

#if PY_VERSION_HEX < 0x030A0000
// CPython 3.9 keeps only the text after a text signature when it copies a heap class's docstring, so the class
// would lose its __text_signature__; later versions keep the whole text. Put the whole text back (the class
// frees its tp_doc with PyObject_Free).
bool keep_whole_doc(PyTypeObject* type, const PyType_Spec& spec) noexcept {
  for (const PyType_Slot* slot = spec.slots; slot->slot != 0; ++slot) {
    if (slot->slot != Py_tp_doc) continue;
    const auto* doc = static_cast<const char*>(slot->pfunc);
    const std::size_t size = std::strlen(doc) + 1;
    auto* copy = static_cast<char*>(PyObject_Malloc(size));
    if (!copy) {
      PyErr_NoMemory();
      return false;
    }
    std::memcpy(copy, doc, size);
    PyObject_Free(const_cast<char*>(type->tp_doc));
    type->tp_doc = copy;
  }
  return true;
}
#endif

}  // namespace

PyObject* new_class(const PyType_Spec& spec) {
  // The interpreter takes __module__ from a dotted spec name (and warns about a bare one), while the type
  // name should stay bare: create the class under "quorlane_py.NAME", then point tp_name at the bare name.
  const std::string dotted = dotted_name(spec);
  PyType_Spec dotted_spec = spec;
  dotted_spec.name = dotted.c_str();
  Ref type = Ref::steal(PyType_FromSpec(&dotted_spec));
  if (!type) return nullptr;
  auto* as_type = reinterpret_cast<PyTypeObject*>(type.get());
  as_type->tp_name = spec.name;
#if PY_VERSION_HEX < 0x030A0000
  if (!keep_whole_doc(as_type, spec)) return nullptr;
#endif
  return type.release();
}

bool set_class_attribute(PyObject* type, const char* name, PyObject* value) noexcept {
  if (PyDict_SetItemString(reinterpret_cast<PyTypeObject*>(type)->tp_dict, name, value) < 0) return false;
  PyType_Modified(reinterpret_cast<PyTypeObject*>(type));
  return true;
}

PyObject* refuse_construction(PyTypeObject* type, PyObject*, PyObject*) noexcept {
  PyObject* as_object = reinterpret_cast<PyObject*>(type);
  Ref module = name_part(as_object, "__module__");
  Ref qualname = name_part(as_object, "__qualname__");
  if (!module || !qualname) return nullptr;
  PyErr_Format(PyExc_TypeError, "cannot create '%U.%U' instances", module.get(), qualname.get());
  return nullptr;
}

void free_instance(PyObject* self) noexcept {
  PyTypeObject* type = Py_TYPE(self);
  type->tp_free(self);
  if (PyType_GetFlags(type) & Py_TPFLAGS_HEAPTYPE) Py_DECREF(type);
}

}  // namespace quorlane_py

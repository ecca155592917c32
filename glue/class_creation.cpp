#include "class_creation.h"

#include <cstring>
#include <memory>
#include <string>

#include "entry_point.h"

namespace quorlane_glue {
namespace {

// str of the attribute, or "<unknown>" when it is missing or not a str (the lookup error is cleared).
Ref name_part(PyObject* type, const char* attr) noexcept {
  Ref value = Ref::steal(PyObject_GetAttrString(type, attr));
  if (value && PyUnicode_Check(value.get())) return value;
  PyErr_Clear();
  return Ref::steal(PyUnicode_FromString("<unknown>"));
}

// "MODULE.NAME": a class's name as the interpreter wants it when it creates the class.
std::string dotted_name(const PyType_Spec& spec, const char* module_name) {
  return std::string(module_name) + "." + spec.name;
}

}  // namespace

#ifdef PYPY_VERSION

// PyPy gives every instance of a class made through its C interface an instance dictionary, and takes every
// such class as a base, unless the class's dict holds __slots__ before the class is readied (then, as for a
// class statement, instances get no dictionary). A heap class cannot be given a dict that early, so here the
// class is a static one: a type object filled from the spec, whose dict holds an empty __slots__ and an
// __init_subclass__ that refuses every subclass.

namespace {

// Lives as long as the process, as the class does.
struct StaticClass {
  PyTypeObject type = {PyVarObject_HEAD_INIT(nullptr, 0)};
  PyNumberMethods number = {};
  PyMappingMethods mapping = {};
  std::string name;
};

// __init_subclass__ of our classes; `class_name` is the class's name, bound when the function is made.
PyObject* refuse_subclass(PyObject* class_name, PyObject*, PyObject*) noexcept {
  PyErr_Format(PyExc_TypeError, "type '%U' is not an acceptable base type", class_name);
  return nullptr;
}

PyMethodDef refuse_subclass_def = {"__init_subclass__",
                                   as_method(refuse_subclass),
                                   METH_VARARGS | METH_KEYWORDS, nullptr};

// False with SystemError for a slot that no class of the module uses.
bool fill_slot(StaticClass& storage, const PyType_Slot& slot) noexcept {
  PyTypeObject& type = storage.type;
  switch (slot.slot) {
    case Py_tp_doc: type.tp_doc = static_cast<const char*>(slot.pfunc); return true;
    case Py_tp_new: type.tp_new = reinterpret_cast<newfunc>(slot.pfunc); return true;
    case Py_tp_dealloc: type.tp_dealloc = reinterpret_cast<destructor>(slot.pfunc); return true;
    case Py_tp_repr: type.tp_repr = reinterpret_cast<reprfunc>(slot.pfunc); return true;
    case Py_tp_richcompare: type.tp_richcompare = reinterpret_cast<richcmpfunc>(slot.pfunc); return true;
    case Py_tp_hash: type.tp_hash = reinterpret_cast<hashfunc>(slot.pfunc); return true;
    case Py_tp_getset: type.tp_getset = static_cast<PyGetSetDef*>(slot.pfunc); return true;
    case Py_tp_methods: type.tp_methods = static_cast<PyMethodDef*>(slot.pfunc); return true;
    case Py_tp_traverse: type.tp_traverse = reinterpret_cast<traverseproc>(slot.pfunc); return true;
    case Py_tp_clear: type.tp_clear = reinterpret_cast<inquiry>(slot.pfunc); return true;
    case Py_nb_int:
      storage.number.nb_int = reinterpret_cast<unaryfunc>(slot.pfunc);
      type.tp_as_number = &storage.number;
      return true;
    case Py_mp_length:
      storage.mapping.mp_length = reinterpret_cast<lenfunc>(slot.pfunc);
      type.tp_as_mapping = &storage.mapping;
      return true;
  }
  PyErr_Format(PyExc_SystemError, "type slot %d is not supported", slot.slot);
  return false;
}

// The class's dict before it is readied: no instance slots, no subclasses.
Ref closed_class_dict(const char* class_name) noexcept {
  Ref dict = Ref::steal(PyDict_New());
  Ref no_slots = Ref::steal(PyTuple_New(0));
  Ref name = Ref::steal(PyUnicode_FromString(class_name));
  if (!dict || !no_slots || !name) return Ref();
  Ref refuse = Ref::steal(PyCFunction_New(&refuse_subclass_def, name.get()));
  if (!refuse || PyDict_SetItemString(dict.get(), "__slots__", no_slots.get()) < 0 ||
      PyDict_SetItemString(dict.get(), "__init_subclass__", refuse.get()) < 0) {
    return Ref();
  }
  return dict;
}

}  // namespace

PyObject* new_class(const PyType_Spec& spec, const char* module_name) {
  auto storage = std::make_unique<StaticClass>();
  storage->name = dotted_name(spec, module_name);  // the dotted name gives the class its __module__
  PyTypeObject& type = storage->type;
  type.tp_name = storage->name.c_str();
  type.tp_basicsize = spec.basicsize;
  type.tp_itemsize = spec.itemsize;
  type.tp_flags = spec.flags;
  for (const PyType_Slot* slot = spec.slots; slot->slot != 0; ++slot) {
    if (!fill_slot(*storage, *slot)) return nullptr;
  }
  Ref dict = closed_class_dict(spec.name);
  if (!dict) return nullptr;
  type.tp_dict = dict.release();
  storage.release();  // from here on the interpreter may refer to it: it lives until the process ends
  if (PyType_Ready(&type) < 0) return nullptr;
  return Ref::borrow(reinterpret_cast<PyObject*>(&type)).release();
}

#else

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

PyObject* new_class(const PyType_Spec& spec, const char* module_name) {
  // The interpreter takes __module__ from a dotted spec name (and warns about a bare one), while the type
  // name should stay bare: create the class under "MODULE.NAME", then point tp_name at the bare name.
  const std::string dotted = dotted_name(spec, module_name);
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

#endif

bool set_class_attribute(PyObject* type, const char* name, PyObject* value) noexcept {
  // Through the class's dict, since PyPy refuses setting attributes on the static classes made for it.
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

}  // namespace quorlane_glue

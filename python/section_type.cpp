#include "section_type.h"

#include <cstdint>

#include "glue.h"

namespace quorlane_py {
namespace {

struct SectionTypeObject {
  PyObject_HEAD
  quorlane::SectionKind kind;
};

// The class object, created once per process.
PyObject* section_type_class = nullptr;

quorlane::SectionKind kind_of(PyObject* self) noexcept { return reinterpret_cast<SectionTypeObject*>(self)->kind; }

bool is_section_type(PyObject* object) noexcept {
  return PyObject_TypeCheck(object, reinterpret_cast<PyTypeObject*>(section_type_class));
}

PyObject* allocate(quorlane::SectionKind kind) noexcept {
  if (!section_type_class) {
    PyErr_SetString(PyExc_SystemError, "SectionType is not initialised");
    return nullptr;
  }
  auto* type = reinterpret_cast<PyTypeObject*>(section_type_class);
  PyObject* self = type->tp_alloc(type, 0);
  if (self) reinterpret_cast<SectionTypeObject*>(self)->kind = kind;
  return self;
}

PyObject* section_type_repr(PyObject* self) noexcept {
  return PyUnicode_FromString(kind_of(self) == quorlane::SectionKind::Document ? "SectionType.Document"
                                                                                : "SectionType.Account");
}

PyObject* section_type_int(PyObject* self) noexcept { return PyLong_FromLong(static_cast<long>(kind_of(self))); }

// Equal when the kinds are; anything else (another type, an ordering) is left to the other operand.
PyObject* section_type_richcompare(PyObject* self, PyObject* other, int op) noexcept {
  if ((op != Py_EQ && op != Py_NE) || !is_section_type(self) || !is_section_type(other)) {
    Py_RETURN_NOTIMPLEMENTED;
  }
  const bool equal = kind_of(self) == kind_of(other);
  if (equal == (op == Py_EQ)) Py_RETURN_TRUE;
  Py_RETURN_FALSE;
}

PyObject* create_class() {
  static char doc[] = "Тип секции выписки для использования в hooks.";
  PyType_Slot slots[] = {
      {Py_tp_doc, doc},
      {Py_tp_new, reinterpret_cast<void*>(refuse_construction)},
      {Py_tp_dealloc, reinterpret_cast<void*>(free_instance)},
      {Py_tp_repr, reinterpret_cast<void*>(section_type_repr)},
      {Py_tp_richcompare, reinterpret_cast<void*>(section_type_richcompare)},
      {Py_nb_int, reinterpret_cast<void*>(section_type_int)},
      {0, nullptr},
  };
  // Defining equality without a hash leaves the instances unhashable.
  PyType_Spec spec = {"SectionType", static_cast<int>(sizeof(SectionTypeObject)), 0, Py_TPFLAGS_DEFAULT, slots};
  return new_class(spec, kModuleName);
}

// The class attributes Document and Account, in that order, made once with the class.
bool add_members(PyObject* type) noexcept {
  Ref document = Ref::steal(allocate(quorlane::SectionKind::Document));
  if (!document || !set_class_attribute(type, "Document", document.get())) return false;
  Ref account = Ref::steal(allocate(quorlane::SectionKind::Account));
  return account && set_class_attribute(type, "Account", account.get());
}

}  // namespace

bool register_section_type(Registrar& registrar) {
  if (!section_type_class) {
    Ref type = Ref::steal(create_class());
    if (!type) return false;
    section_type_class = type.get();
    if (!add_members(type.get())) {
      section_type_class = nullptr;
      return false;
    }
    section_type_class = type.release();
  }
  return registrar.add("SectionType", section_type_class);
}

PyObject* new_section_type(quorlane::SectionKind type) noexcept { return allocate(type); }

}  // namespace quorlane_py

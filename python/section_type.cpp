#include "section_type.h"

namespace quorlane_py {

// Placeholder until the class is built: registers nothing.
bool register_section_type(Registrar&) noexcept { return true; }
PyObject* new_section_type(quorlane::SectionType) noexcept {
  PyErr_SetString(PyExc_NotImplementedError, "SectionType");
  return nullptr;
}

}  // namespace quorlane_py

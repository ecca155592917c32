#include "registrar.h"

namespace quorlane_glue {

bool Registrar::add(const char* name, PyObject* value) noexcept {
  if (listing_ == Listing::InAll) {
    if (!all_) {
      all_ = Ref::steal(PyList_New(0));
      if (!all_ || PyObject_SetAttrString(module_, "__all__", all_.get()) < 0) return false;
    }
    Ref text = Ref::steal(PyUnicode_FromString(name));
    if (!text || PyList_Append(all_.get(), text.get()) < 0) return false;
  }
  return PyObject_SetAttrString(module_, name, value) == 0;
}

}  // namespace quorlane_glue

// The registration of a module's attributes, in their fixed order: the one way both modules add theirs.
#pragma once

#include "ref.h"

namespace quorlane_glue {

// Each name may also be appended to the module's __all__ (created on the first such call); then the attribute
// is set.
class Registrar {
 public:
  enum class Listing : unsigned char { InAll, Unlisted };

  explicit Registrar(PyObject* module, Listing listing = Listing::InAll) noexcept
      : module_(module), listing_(listing) {}
  // `value` is borrowed. False with an exception set on failure.
  bool add(const char* name, PyObject* value) noexcept;
  // The same for a new reference (or null, with its exception), which it releases.
  bool add(const char* name, Ref value) noexcept { return value && add(name, value.get()); }

 private:
  PyObject* module_;
  Listing listing_;
  Ref all_;
};

}  // namespace quorlane_glue

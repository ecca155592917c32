#include "exceptions.h"

namespace quorlane_py {

// Placeholder until the classes are built: registers nothing.
bool register_exceptions(Registrar&) noexcept { return true; }
void raise_statement_error(const quorlane::StatementError&) noexcept {
  PyErr_SetString(PyExc_NotImplementedError, "exceptions");
}

}  // namespace quorlane_py

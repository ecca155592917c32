// SectionType: tells a hook which kind of section it sees.
#pragma once

#include "glue.h"
#include "quorlane/reader.h"

namespace quorlane_py {

// Creates the class (once per process) with its Document and Account attributes, and registers it.
bool register_section_type(Registrar& registrar);

// A new SectionType instance (not one of the class attributes). New reference, or null with an exception.
PyObject* new_section_type(quorlane::SectionKind type) noexcept;

}  // namespace quorlane_py

// What quorlane_py hands the package's extension, as datetime hands out its C API: a capsule under a dunder
// attribute (so that the module's names stay its own 18), holding this struct. Both modules are built from one
// source tree into one distribution, so the struct and the core's records have one layout in both; the size
// tells a mismatch apart all the same.
#pragma once

#include <cstddef>

#include "quorlane/reader.h"
#include "quorlane/records.h"
#include "statement_errors.h"

namespace quorlane_glue {

struct ModuleApi {
  std::size_t size;  // sizeof(ModuleApi) as quorlane_py was built
  const ErrorClasses* errors;
  PyTypeObject* document_type;
  // A Document's record, valid while the object lives; null for an object of any other class.
  const quorlane::DocumentRecord* (*document_record)(PyObject* object) noexcept;
  // A Statement of a reading, as parse returns one; with `warnings`, a list the statement holds as its warnings
  // (borrowed) in place of the reading's (lineno, message) pairs. New reference, or null with an exception.
  PyObject* (*new_statement)(quorlane::ReaderResult&& reading, PyObject* warnings) noexcept;
  // An Interval holding `interval`. New reference, or null with an exception.
  PyObject* (*new_interval)(const quorlane::Interval& interval) noexcept;
  // A Document holding `document`, as parse makes one. New reference, or null with an exception.
  PyObject* (*new_document)(quorlane::Document&& document) noexcept;
};

inline constexpr const char kModuleApiAttribute[] = "__quorlane_api__";
inline constexpr const char kModuleApiCapsule[] = "quorlane_py.__quorlane_api__";

}  // namespace quorlane_glue

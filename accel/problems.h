// The package's problems (quorlane.errors.WriteError and TableError), raised from here with their place.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>
#include <optional>
#include <string_view>

namespace quorlane_accel {

// Where a problem lies: the offending character's index in the value, and its line and column in a statement's
// text (from 1); each absent where the problem has none.
struct ProblemPlace {
  std::optional<std::uint64_t> position;
  std::optional<std::uint64_t> line;
  std::optional<std::uint64_t> column;
};

// Sets `type(section, key, message, position, line=, column=, code=)` as the pending exception (key None when
// it is absent); always null, for `return raise_problem(...)`.
PyObject* raise_problem(PyObject* type, std::string_view section, std::optional<std::string_view> key,
                        std::string_view message, const ProblemPlace& place, std::string_view code = {});

}  // namespace quorlane_accel

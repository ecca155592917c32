// The one statement intake of both modules: a statement argument as the core takes it.
#pragma once

#include <string_view>

#include "quorlane/decode.h"
#include "ref.h"

namespace quorlane_glue {

inline constexpr const char kStatementTypeMessage[] = "statement must be bytes or str";

// Bytes (and an ASCII str, which is its own UTF-8) are read in place; any other str by its code points, which
// the core turns into UTF-8 itself (piece by piece when the text is large), so that the caller's str is not
// given a cached UTF-8 copy as large as itself. The caller keeps the argument alive while the input is used.
struct StatementInput {
  std::string_view bytes;
  quorlane::CodePoints text;
  bool is_text = false;

  // read(std::string_view) or read(quorlane::CodePoints), whichever the statement is.
  template <class Read>
  auto with(Read&& read) const -> decltype(read(bytes)) {
    return is_text ? read(text) : read(bytes);
  }
  // The size in bytes or code points, for sizing what a reading makes.
  std::size_t size() const noexcept { return is_text ? text.count : bytes.size(); }
};

// False with TypeError "statement must be bytes or str" set for anything else.
bool statement_input(PyObject* arg, StatementInput& input) noexcept;

}  // namespace quorlane_glue

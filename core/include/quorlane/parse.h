// The whole reading of one statement: decode, check the first line, classify, read.
#pragma once

#include <optional>
#include <string_view>

#include "quorlane/decode.h"
#include "quorlane/errors.h"
#include "quorlane/reader.h"
#include "quorlane/result.h"

namespace quorlane {

// `input` is only read during the call; the result owns everything it holds.
Result<ReaderResult, StatementError> parse_statement(std::string_view input, HookList hooks = {});

// The reading of a statement given as text (code points, as a Python str holds them): its UTF-8 form is read
// as parse_statement reads bytes, without ever being made whole when it is large. Nothing when the text
// holds a lone surrogate, and so has no UTF-8 form.
std::optional<Result<ReaderResult, StatementError>> parse_statement_text(CodePoints text, HookList hooks = {});

}  // namespace quorlane

// The whole reading of one statement: decode, check the first line, classify, read.
#pragma once

#include <string_view>

#include "quorlane/errors.h"
#include "quorlane/reader.h"
#include "quorlane/result.h"

namespace quorlane {

// `input` is only read during the call; the result owns everything it holds.
Result<ReaderResult, StatementError> parse_statement(std::string_view input, HookList hooks = {});

}  // namespace quorlane

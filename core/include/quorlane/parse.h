// The whole reading of one statement: its text, its first line, its lines, the reader.
#pragma once

#include <string_view>

#include "quorlane/decode.h"
#include "quorlane/errors.h"
#include "quorlane/reader.h"
#include "quorlane/result.h"
#include "quorlane/text_source.h"

namespace quorlane {

// A statement given as bytes (UTF-8 or windows-1251, told apart by the bytes themselves). `input` is only
// read during the call; the result owns everything it holds. With `documents`, the documents go there instead
// of into the result (see DocumentSink).
Result<ReaderResult, StatementError> parse_statement(std::string_view input, HookList hooks = {},
                                                     const ReadOptions& options = {},
                                                     DocumentSink* documents = nullptr);

// A statement given as text (code points, as a Python str holds them), read as its UTF-8 form is, without
// that form ever being made whole. NotUtf8 when the text holds a lone surrogate, and so has no UTF-8 form.
Result<ReaderResult, StatementError> parse_statement(CodePoints text, HookList hooks = {},
                                                     const ReadOptions& options = {},
                                                     DocumentSink* documents = nullptr);

}  // namespace quorlane

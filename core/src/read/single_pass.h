// Reading a whole statement text in one pass when no hooks are given.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "../text/line_pipeline.h"
#include "quorlane/decode.h"
#include "quorlane/errors.h"
#include "quorlane/reader.h"
#include "quorlane/result.h"

namespace quorlane::detail {

// Classifies and reads the lines together. Without hooks the reader has no effect but its result, so reading
// before every line has been checked is safe, provided that an unrecognised line anywhere still wins over
// whatever the reader found: after the reader stops, the rest of the text is checked too.
// The decoded text's memory before each section is given back as reading goes on.
// Precondition: the text's first line has been checked.
Result<ReaderResult, StatementError> read_statement_checking(DecodedInput& decoded);

// read_statement_checking with the lines classified on a second thread while this one reads them; for a
// text taken while it is read (decode_input_lazily), that thread decodes or checks the rest too,
// `piece_bytes` of input at a time. Nothing when the input taken as UTF-8 turns out not to be: it is then to
// be read anew from decode_input. Precondition: the first line of decoded.text() has been checked.
std::optional<Result<ReaderResult, StatementError>> read_statement_pipelined(
    DecodedInput& decoded, std::size_t piece_bytes = LinePipeline::kDefaultPieceBytes);

// read_statement over lines of `decoded`, giving back the text's memory before each section as it goes.
Result<ReaderResult, StatementError> read_statement_releasing(const ClassifiedLines& lines, HookList hooks,
                                                              DecodedInput& decoded);

}  // namespace quorlane::detail

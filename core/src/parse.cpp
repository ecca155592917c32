#include "quorlane/parse.h"

#include "quorlane/decode.h"
#include "quorlane/lines.h"
#include "text/decoders.h"
#include "read/single_pass.h"

namespace quorlane {

namespace {

// From this size on, a reading without hooks classifies lines on a second thread: starting it costs
// about what reading a few kilobytes does.
constexpr std::size_t kPipelinedFrom = std::size_t{1} << 20;
// The code points of a text turned into UTF-8 before the second thread takes the rest.
constexpr std::size_t kFirstTextPiece = std::size_t{64} << 10;

}  // namespace

Result<ReaderResult, StatementError> parse_statement(std::string_view input, HookList hooks) {
  if (hooks.empty() && input.size() >= kPipelinedFrom) {
    auto decoded = decode_input_lazily(input);
    if (!decoded) return Err(std::move(decoded).error());
    if (auto first = check_first_line(decoded.value().text()); !first) return Err(std::move(first).error());
    if (auto result = detail::read_statement_pipelined(decoded.value())) return std::move(*result);
    // Taken as UTF-8 from its start, the input is not UTF-8 further on: it is read anew as a whole.
  }
  auto decoded = decode_input(input);
  if (!decoded) return Err(std::move(decoded).error());
  const std::string_view text = decoded.value().text();
  if (auto first = check_first_line(text); !first) return Err(std::move(first).error());
  if (hooks.empty()) return detail::read_statement_checking(decoded.value());
  // Every line is checked before the reader starts, so that an unrecognised line anywhere wins over
  // whatever the reader would find, and no hook runs for a file that has one.
  auto lines = classify_lines(text);
  if (!lines) return Err(std::move(lines).error());
  return detail::read_statement_releasing(lines.value(), hooks, decoded.value());
}

std::optional<Result<ReaderResult, StatementError>> parse_statement_text(CodePoints text, HookList hooks) {
  if (hooks.empty() && text.count * text.width >= kPipelinedFrom) {
    auto decoded = take_text_lazily(text, kFirstTextPiece);
    if (!decoded) return std::nullopt;
    if (auto first = check_first_line(decoded->text()); !first) {
      if (detail::has_lone_surrogate(decoded->undecoded_points())) return std::nullopt;
      return Err(std::move(first).error());
    }
    return detail::read_statement_pipelined(*decoded);
  }
  auto whole = take_text_lazily(text, text.count);
  if (!whole) return std::nullopt;
  return parse_statement(whole->text(), hooks);  // its UTF-8, read as bytes are
}

}  // namespace quorlane

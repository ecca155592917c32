// The failure vocabulary of the core: the one error a reading returns, its syntax details, the context a
// reader state names, warnings, and what a hook answers. Messages are composed on demand from the fields.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "quorlane/result.h"

namespace quorlane {

// Where in a statement the reader was. The numbers are part of the contract.
enum class ReaderContext : std::uint8_t {
  Header = 0,
  Document = 1,
  Account = 2,
  Finished = 3,
  Init = 4,
  ReadNextSection = 5,
};

// "header", "document", "account", "finished", "init" or "read_next_section".
std::string_view context_name(ReaderContext context) noexcept;

struct UnexpectedSection {
  std::uint64_t lineno;
  std::string found;
  ReaderContext context;
};
struct UnexpectedAttribute {
  std::uint64_t lineno;
  std::string key;
  std::string value;
};
struct UnrecognizedLine {
  std::uint64_t lineno;
  std::string line;
};
struct MissingField {
  std::uint64_t lineno;
  std::string field;
  ReaderContext context;
};
struct AccountParseError {
  std::uint64_t lineno;
  std::string message;
};
struct HookError {
  std::uint64_t lineno;
  std::string message;
};

// The variant order is the order of the format's detail table.
using SyntaxDetail = std::variant<UnexpectedSection, UnexpectedAttribute, UnrecognizedLine, MissingField,
                                  AccountParseError, HookError>;

struct Unfinished {};
struct NotStatement {};
// Input taken as UTF-8 that is not. Bytes taken as UTF-8 by their start and found not to be UTF-8 further on
// are read again as windows-1251, so this leaves a reading only for text given as code points that holds a
// lone surrogate: such a text has no UTF-8 form, and nothing of it is read.
struct NotUtf8 {};

using StatementError = std::variant<SyntaxDetail, Unfinished, NotStatement, NotUtf8>;

// The message texts: fixed English pieces with the stored texts inserted unchanged, never a line number.
std::string message(const SyntaxDetail& detail);
std::string message(const StatementError& error);

std::uint64_t lineno(const SyntaxDetail& detail) noexcept;
// Present for syntax errors only.
std::optional<std::uint64_t> lineno(const StatementError& error) noexcept;

// A warning that does not stop the reading: a document that could not be converted, the section's closing line,
// why, and the field that dropped it: its key, and its value as the section wrote it (UTF-8; none where the field
// is missing, which the message says).
struct StatementWarning {
  std::uint64_t lineno;
  std::string message;
  std::string key;
  std::optional<std::string> value;

  friend bool operator==(const StatementWarning&, const StatementWarning&) = default;
};

// What a hook answers: success to go on (`return {};`), or the text that stops the reading
// (`return Err(text);`).
using HookOutcome = Status<std::string>;

}  // namespace quorlane

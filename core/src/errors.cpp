#include "quorlane/errors.h"

#include "quorlane/overloaded.h"

namespace quorlane {
namespace {

std::string join(std::initializer_list<std::string_view> pieces) {
  std::size_t size = 0;
  for (std::string_view piece : pieces) size += piece.size();
  std::string text;
  text.reserve(size);
  for (std::string_view piece : pieces) text += piece;
  return text;
}

}  // namespace

std::string_view context_name(ReaderContext context) noexcept {
  switch (context) {
    case ReaderContext::Header: return "header";
    case ReaderContext::Document: return "document";
    case ReaderContext::Account: return "account";
    case ReaderContext::Finished: return "finished";
    case ReaderContext::Init: return "init";
    case ReaderContext::ReadNextSection: return "read_next_section";
  }
  return "init";  // unreachable: every enumerator is handled above
}

std::string message(const SyntaxDetail& detail) {
  return std::visit(
      Overloaded{
          [](const UnexpectedSection& d) {
            return join({"Unexpected section '", d.found, "' in context '", context_name(d.context), "'"});
          },
          [](const UnexpectedAttribute& d) {
            return join({"Unexpected attribute '", d.key, "' = '", d.value, "'"});
          },
          [](const UnrecognizedLine& d) { return join({"Unrecognized line: '", d.line, "'"}); },
          [](const MissingField& d) {
            return join({"Missing field '", d.field, "' in context '", context_name(d.context), "'"});
          },
          [](const AccountParseError& d) { return join({"Account parse error: ", d.message}); },
          [](const HookError& d) { return join({"Hook error: ", d.message}); },
      },
      detail);
}

std::string message(const StatementError& error) {
  return std::visit(Overloaded{
                        [](const SyntaxDetail& d) { return message(d); },
                        [](const Unfinished&) { return std::string("Statement is not finished"); },
                        [](const NotStatement&) { return std::string("Input is not a 1C statement"); },
                        [](const NotUtf8&) { return std::string("Input is not valid UTF-8"); },
                    },
                    error);
}

std::uint64_t lineno(const SyntaxDetail& detail) noexcept {
  return std::visit([](const auto& d) { return d.lineno; }, detail);
}

std::optional<std::uint64_t> lineno(const StatementError& error) noexcept {
  if (const auto* detail = std::get_if<SyntaxDetail>(&error)) return lineno(*detail);
  return std::nullopt;
}

}  // namespace quorlane

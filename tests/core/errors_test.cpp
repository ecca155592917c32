#include "quorlane/errors.h"

#include <gtest/gtest.h>

namespace quorlane {
namespace {

struct MessageCase {
  SyntaxDetail detail;
  std::string expected;
};

// GoogleTest shows a case by the message it expects.
void PrintTo(const MessageCase& c, std::ostream* os) { *os << c.expected; }

class SyntaxMessageTest : public ::testing::TestWithParam<MessageCase> {};

TEST_P(SyntaxMessageTest, ComposesTheFixedPiecesAroundTheStoredTexts) {
  EXPECT_EQ(message(GetParam().detail), GetParam().expected);
  EXPECT_EQ(message(StatementError(GetParam().detail)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    AllVariants, SyntaxMessageTest,
    ::testing::Values(
        MessageCase{UnexpectedSection{3, "КонецФайла", ReaderContext::Header},
                    "Unexpected section 'КонецФайла' in context 'header'"},
        MessageCase{UnexpectedSection{9, "СекцияДокумент=Платежное поручение", ReaderContext::ReadNextSection},
                    "Unexpected section 'СекцияДокумент=Платежное поручение' in context 'read_next_section'"},
        MessageCase{UnexpectedAttribute{5, "Ключ", "it's"}, "Unexpected attribute 'Ключ' = 'it's'"},
        MessageCase{UnexpectedAttribute{5, " k ", ""}, "Unexpected attribute ' k ' = ''"},
        MessageCase{UnrecognizedLine{7, "ABC"}, "Unrecognized line: 'ABC'"},
        MessageCase{UnrecognizedLine{7, ""}, "Unrecognized line: ''"},
        MessageCase{MissingField{12, "РасчСчет", ReaderContext::Account},
                    "Missing field 'РасчСчет' in context 'account'"},
        MessageCase{AccountParseError{4, "missing field `ДатаНачала`"},
                    "Account parse error: missing field `ДатаНачала`"},
        MessageCase{HookError{8, "ValueError: bad"}, "Hook error: ValueError: bad"}));

TEST(ErrorsTest, PlainErrorsHaveFixedMessagesAndNoLineNumber) {
  EXPECT_EQ(message(StatementError(Unfinished{})), "Statement is not finished");
  EXPECT_EQ(message(StatementError(NotStatement{})), "Input is not a 1C statement");
  EXPECT_FALSE(lineno(StatementError(Unfinished{})).has_value());
  EXPECT_FALSE(lineno(StatementError(NotStatement{})).has_value());
  EXPECT_EQ(lineno(StatementError(SyntaxDetail(HookError{42, "x"}))), std::optional<std::uint64_t>(42));
}

TEST(ErrorsTest, ContextNamesFollowTheirNumbers) {
  const char* names[] = {"header", "document", "account", "finished", "init", "read_next_section"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(context_name(static_cast<ReaderContext>(i)), names[i]);
}

}  // namespace
}  // namespace quorlane

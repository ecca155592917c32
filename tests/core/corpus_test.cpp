// Real statements written by other programs, read end to end through parse_statement.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "quorlane/parse.h"

namespace quorlane {
namespace {

std::string read_file(const std::string& name) {
  std::ifstream in(std::string(QUORLANE_TEST_DATA) + "/real/" + name, std::ios::binary);
  EXPECT_TRUE(in.good()) << name;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Readable {
  const char* file;
  const char* exercises;
  Encoding encoding;
  std::size_t header_pairs;
  std::vector<std::pair<std::string, std::size_t>> accounts;  // number, intervals
  std::size_t documents;
  std::pair<std::string, std::string> first;  // doc_number, doc_type
  std::pair<std::string, std::string> last;
};

const std::vector<Readable> kReadable = {
    {"kilylabs__client-bank-exchange-php__one_day.txt",
     "windows-1251 with CR LF; values with trailing blanks; unknown Квитанция* keys; two document kinds",
     Encoding::Cp1251, 9, {{"40702810200000000001", 1}}, 13, {"697162", "Банковский ордер"},
     {"1", "Платежное поручение"}},
    {"kilylabs__client-bank-exchange-php__one_day_utf8.txt", "the same statement in UTF-8: the same reading",
     Encoding::Utf8, 9, {{"40702810200000000001", 1}}, 13, {"697162", "Банковский ордер"},
     {"1", "Платежное поручение"}},
    {"darkeum__client-bank-exchange-php__one_day.txt", "the same statement with LF endings", Encoding::Cp1251, 9,
     {{"40702810200000000001", 1}}, 13, {"697162", "Банковский ордер"}, {"1", "Платежное поручение"}},
    {"dronm__clbnk__kl_to_1c.txt", "CR LF without a final line feed; trailing blanks", Encoding::Cp1251, 9,
     {{"40702810000000074935", 1}}, 3, {"69147", "Банковский ордер"}, {"2", "Платежное поручение"}},
    {"dronm__clbnk__kl_to_1c.first-commit.txt", "an earlier version of the same file", Encoding::Cp1251, 9,
     {{"40702810000000074935", 1}}, 2, {"69147", "Банковский ордер"}, {"1", "Платежное поручение"}},
    {"odoo-ru__client-bank-1c__kl_to_1c.txt", "format 1.01; a blank line after the header; a value with a leading blank",
     Encoding::Cp1251, 8, {{"00000000000000000001", 1}}, 1, {"3", "Платежное поручение"},
     {"3", "Платежное поручение"}},
    {"Unact__client_bank_exchange2__test.txt",
     "repeated РасчСчет and Документ keys in the header (the later value wins); two accounts; blank lines "
     "between sections",
     Encoding::Utf8, 10, {{"40700000000000000000", 1}, {"40600000000000000000", 1}}, 6, {"1", "Some type"},
     {"3", "Some type"}},
    {"open-condo-software__condo__1CClientBankExchange.txt",
     "integer amounts; empty optional dates (absent) and an empty required ПлательщикИНН (the empty text)",
     Encoding::Utf8, 9, {{"40702810801500116391", 1}}, 4, {"61298", "Платежное требование"},
     {"239", "Платежное поручение"}},
    {"zharikovpro__client_bank_exchange__documents.txt", "a small windows-1251 statement with LF endings",
     Encoding::Cp1251, 6, {{"40000000000000000000", 1}}, 2, {"1", "Платежное поручение"},
     {"2", "Платежное поручение"}},
    {"zharikovpro__client_bank_exchange__documents.utf8-version.txt", "its UTF-8 predecessor", Encoding::Utf8, 6,
     {{"40000000000000000000", 1}}, 2, {"1", "Платежное поручение"}, {"2", "Платежное поручение"}},
};

TEST(Corpus, ReadableStatements) {
  for (const Readable& c : kReadable) {
    SCOPED_TRACE(std::string(c.file) + ": " + c.exercises);
    auto result = parse_statement(read_file(c.file));
    ASSERT_TRUE(result.ok()) << message(result.error());
    const ReaderResult& r = result.value();
    EXPECT_EQ(r.encoding, c.encoding);
    EXPECT_EQ(r.header.size(), c.header_pairs);
    ASSERT_EQ(r.accounts.size(), c.accounts.size());
    for (std::size_t i = 0; i < c.accounts.size(); ++i) {
      EXPECT_EQ(r.accounts[i].number, c.accounts[i].first);
      EXPECT_EQ(r.accounts[i].intervals.size(), c.accounts[i].second);
    }
    EXPECT_TRUE(r.warnings.empty());
    ASSERT_EQ(r.documents.size(), c.documents);
    const Document& first = r.documents.front();
    const Document& last = r.documents.back();
    EXPECT_EQ(to_utf8(first->doc_number, first->text_encoding), c.first.first);
    EXPECT_EQ(to_utf8(first->doc_type, first->text_encoding), c.first.second);
    EXPECT_EQ(to_utf8(last->doc_number, last->text_encoding), c.last.first);
    EXPECT_EQ(to_utf8(last->doc_type, last->text_encoding), c.last.second);
  }
}

TEST(Corpus, DetailsOfOneStatement) {
  auto result = parse_statement(read_file("open-condo-software__condo__1CClientBankExchange.txt"));
  ASSERT_TRUE(result.ok());
  const std::vector<Document>& docs = result.value().documents;
  EXPECT_EQ(docs[0]->amount, read_amount("700").value());
  EXPECT_FALSE(docs[0]->income_date.has_value());   // "ДатаПоступило=" (line 34)
  EXPECT_FALSE(docs[1]->outcome_date.has_value());  // "ДатаСписано=" (line 55)
  EXPECT_EQ(docs[1]->counterparty_inn, "");         // "ПлательщикИНН=" (line 56)
  EXPECT_EQ(docs[1]->amount, read_amount("1052.98").value());

  auto unact = parse_statement(read_file("Unact__client_bank_exchange2__test.txt"));
  ASSERT_TRUE(unact.ok());
  const std::string_view* number = unact.value().header.find("РасчСчет");
  ASSERT_NE(number, nullptr);
  EXPECT_EQ(*number, "40600000000000000000");
}

struct Unreadable {
  const char* file;
  const char* exercises;
  StatementError error;
};

TEST(Corpus, UnreadableStatements) {
  const std::vector<Unreadable> cases = {
      {"dronm__clbnk__to_bank.txt",
       "a writer that puts \"СекцияДокумент\" without \"=\"; also a UTF-8 line in a windows-1251 file",
       SyntaxDetail{UnrecognizedLine{10, "СекцияДокумент"}}},
      {"odoo-ru__client-bank-1c__1c_to_kl-win-min-example.txt", "КонецФайла straight after the header",
       SyntaxDetail{UnexpectedSection{3, "КонецФайла", ReaderContext::Header}}},
      {"zharikovpro__client_bank_exchange__general.txt", "a header fragment only", Unfinished{}},
      {"zharikovpro__client_bank_exchange__remainings.txt", "an account section and no КонецФайла", Unfinished{}},
      {"open-condo-software__condo__1CClientBankExchange-Invalid.txt",
       "ends after КонецРасчСчет (its unknown key is never a problem)", Unfinished{}},
      {"zharikovpro__client_bank_exchange__wrong_format.txt", "not a statement at all", NotStatement{}},
  };
  for (const Unreadable& c : cases) {
    SCOPED_TRACE(std::string(c.file) + ": " + c.exercises);
    auto result = parse_statement(read_file(c.file));
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().index(), c.error.index());
    EXPECT_EQ(message(result.error()), message(c.error));
    EXPECT_EQ(lineno(result.error()), lineno(c.error));
  }
}

}  // namespace
}  // namespace quorlane

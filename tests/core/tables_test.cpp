// The tables of a statement, built by the core as it reads: rows and columns as the reading gives them, batches
// whose every text column stays within the limit, key columns made as their keys turn up, refusals placed at the
// value, and the reader's own errors.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "quorlane/document_fields.h"
#include "quorlane/statement_tables.h"
#include "test_support.h"

namespace quorlane::testing {
namespace {

std::string document(const std::string& number, const std::string& extra = "") {
  return "СекцияДокумент=Платежное поручение\nНомер=" + number +
         "\nДата=05.03.2024\nСумма=12.5\nПлательщикИНН=7701\nПлательщикБИК=0445\nПлательщикБанк1=Банк\n"
         "ПлательщикСчет=40702810900000012345\nПолучательИНН=7709\nПолучательБИК=0446\nПолучательБанк1=Банк 2\n"
         "ПолучательСчет=40702810500000054321\nНазначениеПлатежа=Оплата\n" + extra + "КонецДокумента\n";
}

std::string statement(const std::vector<std::string>& documents, const std::string& header = "ВерсияФормата=1.03\n") {
  std::string text = "1CClientBankExchange\n" + header;
  for (const std::string& d : documents) text += d;
  return text + "КонецФайла\n";
}

// The column's texts in every batch, in order ("-" for null).
std::vector<std::string> texts(const ArrowTable& table, const std::string& name) {
  std::size_t c = 0;
  while (table.fields[c].name != name) ++c;
  std::vector<std::string> out;
  for (const ArrowBatch& batch : table.batches) {
    const ArrowColumn& column = batch.columns[c];
    const auto* offsets = static_cast<const std::int32_t*>(column.values.data());
    const auto* valid = static_cast<const unsigned char*>(column.validity.data());
    for (std::int64_t row = 0; row < batch.length; ++row) {
      const bool null = column.null_count != 0 && (valid[row >> 3] >> (row & 7) & 1) == 0;
      out.push_back(null ? "-" : std::string(static_cast<const char*>(column.text.data()) + offsets[row],
                                             static_cast<std::size_t>(offsets[row + 1] - offsets[row])));
    }
  }
  return out;
}

TEST(Tables, HoldTheDocumentsInTheColumnOrder) {
  const std::string text = statement({document("1"), document("2")});
  for (const std::string& input : {text, to_cp1251(text)}) {
    auto read = read_tables(input, TableOptions{});
    ASSERT_TRUE(read && read.value());
    const ArrowTable& documents = read.value().value().documents;
    ASSERT_EQ(documents.fields.size(), 2 + kDocumentFieldCount);
    EXPECT_EQ(documents.fields[0].name, "account");
    for (std::size_t i = 0; i < kDocumentFieldCount; ++i) {
      EXPECT_EQ(documents.fields[2 + i].name, kDocumentFields[kDocumentColumns[i]].attribute);
    }
    EXPECT_EQ(texts(documents, "doc_number"), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(texts(documents, "payee_bank1"), (std::vector<std::string>{"Банк 2", "Банк 2"}));
    EXPECT_EQ(documents.fields[5].format, "d:38,2");  // amount: the finest scale written, at least 2
  }
}

// Every text column of every batch within the limit: those made while reading and those made at the end (the
// file's name, the account taken from the header).
TEST(Tables, KeepEveryTextColumnOfABatchWithinTheLimit) {
  std::vector<std::string> documents;
  for (int n = 0; n < 40; ++n) documents.push_back(document(std::to_string(n)));
  const std::string text = statement(documents, "РасчСчет=" + std::string(300, '4') + "\n");
  TableOptions options;
  options.file = std::string(90, 'f');
  options.batch_bytes = 2000;
  auto read = read_tables(text, options);
  ASSERT_TRUE(read && read.value());
  const ArrowTable& table = read.value().value().documents;
  EXPECT_GT(table.batches.size(), 5u);
  EXPECT_EQ(table.rows(), 40);
  for (const ArrowBatch& batch : table.batches) {
    for (const ArrowColumn& column : batch.columns) {
      if (column.has_text) {
        EXPECT_LE(column.text.size(), 2000u);
      }
    }
  }
  EXPECT_EQ(texts(table, "doc_number").back(), "39");

  options.batch_bytes = 200;  // the account alone takes more
  auto refused = read_tables(text, options);
  ASSERT_TRUE(refused && !refused.value());
  EXPECT_EQ(refused.value().error().code, "text-size");
}

TEST(Tables, MakeAKeysColumnWhenTheKeyFirstTurnsUp) {
  std::vector<std::string> documents;
  for (int n = 0; n < 30; ++n) documents.push_back(document(std::to_string(n), n == 25 ? "Код=7\n" : ""));
  TableOptions options;
  options.all_keys = true;
  options.batch_bytes = 100;  // the key turns up in a later batch than the first
  auto read = read_tables(statement(documents), options);
  ASSERT_TRUE(read && read.value());
  const ArrowTable& table = read.value().value().documents;
  EXPECT_GT(table.batches.size(), 1u);
  EXPECT_EQ(table.fields.back().name, "Код");
  std::vector<std::string> expected(30, "-");
  expected[25] = "7";
  EXPECT_EQ(texts(table, "Код"), expected);
}

// A key named like one of the table's own columns, or like such a key's column, gets a column of its own.
TEST(Tables, KeyColumnsNeverTakeAnotherColumnsName) {
  const std::pair<std::string, std::string> names[] = {
      {"Код", "Код"},       {"amount", "key:amount"}, {"file", "key:file"},        {"lineno", "key:lineno"},
      {"account", "key:account"}, {"key:amount", "key:key:amount"}, {"key", "key"}, {"Amount", "Amount"},
  };
  std::string extra;
  for (const auto& [key, name] : names) {
    EXPECT_EQ(key_column_name(key), name);
    extra += key + "=" + key + "\n";
  }
  TableOptions options;
  options.all_keys = true;
  options.file = "f.txt";
  auto read = read_tables(statement({document("1", extra)}), options);
  ASSERT_TRUE(read && read.value());
  const ArrowTable& table = read.value().value().documents;
  std::set<std::string> unique;
  for (const ArrowField& field : table.fields) EXPECT_TRUE(unique.insert(field.name).second) << field.name;
  EXPECT_EQ(texts(table, "file"), (std::vector<std::string>{"f.txt"}));
  for (const auto& [key, name] : names) EXPECT_EQ(texts(table, name), (std::vector<std::string>{key}));
}

TEST(Tables, PlaceWhatNoColumnCanHoldAtTheValue) {
  struct Case {
    std::string text;
    std::string code;
    std::uint64_t lineno;
    std::size_t column;
  };
  const std::string far_date = replaced(document("1"), "Дата=05.03.2024", "Дата=05.03.+9999999");
  const Case cases[] = {
      {statement({document("1"), far_date}), "date-range", 19, 6},
      {statement({document("1", std::string("account") + '\0' + "=1\n")}), "column-name", 16, 10},
  };
  TableOptions options;
  options.all_keys = true;
  for (const Case& c : cases) {
    auto read = read_tables(c.text, options);
    ASSERT_TRUE(read && !read.value()) << c.code;
    const Refusal& refusal = read.value().error();
    EXPECT_EQ(refusal.code, c.code);
    EXPECT_EQ(refusal.lineno, c.lineno) << c.code;
    EXPECT_EQ(refusal.column, c.column) << c.code;
  }
}

TEST(Tables, GiveTheReadersError) {
  std::string unfinished = statement({document("1")});
  unfinished.erase(unfinished.find("КонецФайла"));
  for (const bool keys : {false, true}) {
    TableOptions options;
    options.all_keys = keys;
    auto read = read_tables(unfinished, options);
    ASSERT_FALSE(read);
    EXPECT_EQ(describe_error(read.error()), "Unfinished");
  }
}

}  // namespace
}  // namespace quorlane::testing

#include "quorlane/records.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace quorlane {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

const Pairs kRequiredDocument = {
    {"СекцияДокумент", "Платежное поручение"},
    {"Номер", "17"},
    {"Дата", "05.03.2024"},
    {"Сумма", "1500.50"},
    {"НазначениеПлатежа", "Оплата по счету 5"},
    {"ПлательщикИНН", "7700000001"},
    {"ПлательщикБИК", "044525225"},
    {"ПлательщикБанк1", "ПАО Банк"},
    {"ПлательщикСчет", "40702810000000000001"},
    {"ПолучательИНН", "7700000002"},
    {"ПолучательБИК", "044525226"},
    {"ПолучательБанк1", "АО Банк"},
    {"ПолучательСчет", "40702810000000000002"},
};

const Pairs kRequiredInterval = {{"ДатаНачала", "01.01.2024"}, {"НачальныйОстаток", "10.00"}};

// Applies edits to a base section: a pair with a value sets (or replaces) the key, "\x01" as value erases it.
AttributeMap section(const Pairs& base, const Pairs& edits) {
  AttributeMap map;
  for (const auto& [key, value] : base) map.insert_copy(key, value);
  for (const auto& [key, value] : edits) {
    if (value == "\x01") {
      map.erase(key);
    } else {
      map.insert_copy(key, value);
    }
  }
  return map;
}

std::string date_error(std::string_view value) { return read_date(value).error(); }
std::string amount_error(std::string_view value) { return read_amount(value).error(); }

TEST(ConvertDocument, RequiredFieldsOnly) {
  TextStore store;
  auto doc = convert_document(section(kRequiredDocument, {}), 1, store);
  ASSERT_TRUE(doc.ok()) << doc.error().message;
  const Document& d = doc.value();
  EXPECT_TRUE(d.block());
  EXPECT_EQ(d->doc_number, "17");
  EXPECT_EQ(d->doc_type, "Платежное поручение");
  EXPECT_EQ(d->doc_date, read_date("05.03.2024").value());
  EXPECT_EQ(d->amount, read_amount("1500.50").value());
  EXPECT_EQ(d->purpose, "Оплата по счету 5");
  EXPECT_EQ(d->counterparty_inn, "7700000001");
  EXPECT_EQ(d->counterparty_bic, "044525225");
  EXPECT_EQ(d->counterparty_bank1, "ПАО Банк");
  EXPECT_EQ(d->counterparty_account, "40702810000000000001");
  EXPECT_EQ(d->payee_inn, "7700000002");
  EXPECT_EQ(d->payee_bic, "044525226");
  EXPECT_EQ(d->payee_bank1, "АО Банк");
  EXPECT_EQ(d->payee_account, "40702810000000000002");
  for (const OptionalText* absent :
       {&d->payment_type, &d->ordering, &d->counterparty_kpp, &d->counterparty, &d->counterparty_1,
        &d->counterparty_ras_account, &d->counterparty_cor_account, &d->payee, &d->payee_kpp, &d->payee_ras_account,
        &d->payee_cor_account}) {
    EXPECT_FALSE(absent->has_value());
  }
  EXPECT_FALSE(d->outcome_date.has_value());
  EXPECT_FALSE(d->income_date.has_value());
}

TEST(ConvertDocument, OptionalFieldsGoToTheirOwnFields) {
  TextStore store;
  auto doc = convert_document(section(kRequiredDocument, {{"ВидОплаты", "01"},
                                                          {"Очередность", "5"},
                                                          {"ПлательщикКПП", "770001001"},
                                                          {"Плательщик", "ООО Плательщик"},
                                                          {"Плательщик1", "ООО Плательщик 1"},
                                                          {"ДатаСписано", "06.03.2024"},
                                                          {"ПлательщикРасчСчет", "4070281000000000000A"},
                                                          {"ПлательщикКорсчет", "30101810400000000225"},
                                                          {"Получатель", "АО Получатель"},
                                                          {"ПолучательКПП", "770002002"},
                                                          {"ПолучательРасчСчет", "4070281000000000000B"},
                                                          {"ПолучательКорсчет", "30101810400000000226"},
                                                          {"ДатаПоступило", "07.03.2024"}}), 1,
                              store);
  ASSERT_TRUE(doc.ok()) << doc.error().message;
  const Document& d = doc.value();
  const std::vector<std::pair<const OptionalText*, std::string>> expected = {
      {&d->payment_type, "01"},
      {&d->ordering, "5"},
      {&d->counterparty_kpp, "770001001"},
      {&d->counterparty, "ООО Плательщик"},
      {&d->counterparty_1, "ООО Плательщик 1"},
      {&d->counterparty_ras_account, "4070281000000000000A"},
      {&d->counterparty_cor_account, "30101810400000000225"},
      {&d->payee, "АО Получатель"},
      {&d->payee_kpp, "770002002"},
      {&d->payee_ras_account, "4070281000000000000B"},
      {&d->payee_cor_account, "30101810400000000226"},
  };
  for (const auto& [field, text] : expected) {
    ASSERT_TRUE(field->has_value()) << text;
    EXPECT_EQ(field->value(), text);
  }
  EXPECT_EQ(d->outcome_date, read_date("06.03.2024").value());
  EXPECT_EQ(d->income_date, read_date("07.03.2024").value());
}

// What dropped the document: the message, and the field at fault (its key; its value, none where it is missing).
struct FailureCase {
  const char* what;
  Pairs edits;
  std::string message;
  std::string_view key = {};  // documents only: an interval's failure is its message
  std::optional<std::string> value = {};
};

TEST(ConvertDocument, FailuresReportTheSmallestKeyThenTheFirstMissingField) {
  const std::optional<std::string> missing;
  const std::vector<FailureCase> cases = {
      {"missing Номер and Сумма: table order", {{"Номер", "\x01"}, {"Сумма", "\x01"}}, "missing field `Номер`", "Номер",
       missing},
      {"missing ПолучательБанк1 and ПолучательСчет: table order",
       {{"ПолучательСчет", "\x01"}, {"ПолучательБанк1", "\x01"}},
       "missing field `ПолучательСчет`", "ПолучательСчет", missing},
      {"missing СекцияДокумент", {{"СекцияДокумент", "\x01"}}, "missing field `СекцияДокумент`", "СекцияДокумент",
       missing},
      {"a bad value wins over a missing field", {{"Номер", "\x01"}, {"Сумма", "abc"}}, amount_error("abc"), "Сумма",
       "abc"},
      {"Дата before Сумма", {{"Сумма", "abc"}, {"Дата", "99.99.2024"}}, date_error("99.99.2024"), "Дата", "99.99.2024"},
      {"ДатаПоступило before ДатаСписано",
       {{"ДатаСписано", "xx"}, {"ДатаПоступило", "32.01.2024"}},
       date_error("32.01.2024"), "ДатаПоступило", "32.01.2024"},
      {"ДатаСписано before Сумма", {{"Сумма", "1,5"}, {"ДатаСписано", "1.1"}}, date_error("1.1"), "ДатаСписано", "1.1"},
      {"Дата before ДатаПоступило", {{"ДатаПоступило", "1.1"}, {"Дата", "x"}}, date_error("x"), "Дата", "x"},
      {"empty Дата", {{"Дата", ""}}, "empty string is not a valid date", "Дата", ""},
      {"blank Сумма", {{"Сумма", " "}}, amount_error(" "), "Сумма", " "},
  };
  for (const FailureCase& c : cases) {
    TextStore store;
    auto doc = convert_document(section(kRequiredDocument, c.edits), 1, store);
    ASSERT_FALSE(doc.ok()) << c.what;
    EXPECT_EQ(doc.error().message, c.message) << c.what;
    EXPECT_EQ(doc.error().key, c.key) << c.what;
    EXPECT_EQ(doc.error().value, c.value) << c.what;
  }
}

TEST(ConvertDocument, UnknownKeysAreNotExamined) {
  TextStore store;
  auto doc = convert_document(section(kRequiredDocument, {{"Сумма ", "abc"},
                                                          {"ДатаСписано ", "abc"},
                                                          {"КвитанцияДата", "abc"},
                                                          {"Дат", "abc"},
                                                          {"", "abc"},
                                                          {"РасчСчет", "1"}}), 1,
                              store);
  ASSERT_TRUE(doc.ok()) << doc.error().message;
  EXPECT_EQ(doc.value()->amount, read_amount("1500.50").value());
}

TEST(ConvertDocument, EmptyAndBlankValues) {
  TextStore store;
  auto doc = convert_document(
      section(kRequiredDocument,
              {{"ДатаСписано", ""}, {"ДатаПоступило", "   "}, {"ВидОплаты", ""}, {"Номер", " 17 "}, {"Плательщик", ""}}), 1,
      store);
  ASSERT_TRUE(doc.ok()) << doc.error().message;
  const Document& d = doc.value();
  EXPECT_FALSE(d->outcome_date.has_value());
  EXPECT_FALSE(d->income_date.has_value());
  ASSERT_TRUE(d->payment_type.has_value());
  EXPECT_EQ(d->payment_type.value(), "");
  ASSERT_TRUE(d->counterparty.has_value());
  EXPECT_EQ(d->counterparty.value(), "");
  EXPECT_EQ(d->doc_number, " 17 ");
}

TEST(ConvertDocument, TextsLiveInTheRecordsBlock) {
  std::vector<Document> kept;
  {
    TextStore store;
    for (int i = 0; i < 300; ++i) {  // enough texts to need several blocks
      AttributeMap attrs =
          section(kRequiredDocument, {{"Номер", std::to_string(i)}, {"НазначениеПлатежа", std::string(2000, 'p')}});
      auto doc = convert_document(attrs, 1, store);
      ASSERT_TRUE(doc.ok());
      kept.push_back(std::move(doc).value());
    }
  }  // the store and every map are gone
  kept.erase(kept.begin(), kept.begin() + 150);
  for (int i = 150; i < 300; ++i) {
    const Document& d = kept[i - 150];
    EXPECT_EQ(d->doc_number, std::to_string(i));
    EXPECT_EQ(d->purpose, std::string(2000, 'p'));
    EXPECT_EQ(d->payee_bank1, "АО Банк");
  }
}

TEST(ConvertInterval, RequiredFieldsOnlyAndAllFields) {
  auto only = convert_interval(section(kRequiredInterval, {{"РасчСчет", "ignored"}}), 1);
  ASSERT_TRUE(only.ok()) << only.error();
  EXPECT_EQ(only.value().date_start, read_date("01.01.2024").value());
  EXPECT_EQ(only.value().start_amount, read_amount("10.00").value());
  EXPECT_FALSE(only.value().date_end || only.value().end_amount || only.value().total_income ||
               only.value().total_expense);

  auto all = convert_interval(section(kRequiredInterval, {{"ДатаКонца", "31.01.2024"},
                                                          {"КонечныйОстаток", "20"},
                                                          {"ВсегоПоступило", "15.5"},
                                                          {"ВсегоСписано", "5.50"}}), 1);
  ASSERT_TRUE(all.ok()) << all.error();
  EXPECT_EQ(all.value().date_end, read_date("31.01.2024").value());
  EXPECT_EQ(all.value().end_amount, read_amount("20").value());
  EXPECT_EQ(all.value().total_income, read_amount("15.5").value());
  EXPECT_EQ(all.value().total_expense, read_amount("5.50").value());
}

TEST(ConvertInterval, Failures) {
  const std::vector<FailureCase> cases = {
      {"missing НачальныйОстаток", {{"НачальныйОстаток", "\x01"}}, "missing field `НачальныйОстаток`"},
      {"missing both: table order", {{"НачальныйОстаток", "\x01"}, {"ДатаНачала", "\x01"}}, "missing field `ДатаНачала`"},
      {"bad value wins over missing field", {{"ДатаНачала", "\x01"}, {"КонечныйОстаток", "x"}}, amount_error("x")},
      {"ВсегоПоступило before ВсегоСписано", {{"ВсегоСписано", "a"}, {"ВсегоПоступило", "b"}}, amount_error("b")},
      {"ВсегоСписано before ДатаКонца", {{"ДатаКонца", "a"}, {"ВсегоСписано", "b"}}, amount_error("b")},
      {"ДатаКонца before ДатаНачала", {{"ДатаНачала", "a"}, {"ДатаКонца", "b"}}, date_error("b")},
      {"ДатаНачала before КонечныйОстаток", {{"КонечныйОстаток", "a"}, {"ДатаНачала", "b"}}, date_error("b")},
      {"КонечныйОстаток before НачальныйОстаток", {{"НачальныйОстаток", "a"}, {"КонечныйОстаток", "b"}},
       amount_error("b")},
      {"blank ДатаНачала", {{"ДатаНачала", "  "}}, "empty string is not a valid date"},
  };
  for (const FailureCase& c : cases) {
    auto interval = convert_interval(section(kRequiredInterval, c.edits), 1);
    ASSERT_FALSE(interval.ok()) << c.what;
    EXPECT_EQ(interval.error(), c.message) << c.what;
  }
  // A blank optional date is absent, not a failure.
  auto blank_end = convert_interval(section(kRequiredInterval, {{"ДатаКонца", " "}}), 1);
  ASSERT_TRUE(blank_end.ok());
  EXPECT_FALSE(blank_end.value().date_end.has_value());
}

TEST(SameInterval, ComparesAllSixValuesAmountsByValue) {
  auto make = [](const Pairs& edits) { return convert_interval(section(kRequiredInterval, edits), 1).value(); };
  const Interval base = make({{"КонечныйОстаток", "5.10"}});
  EXPECT_TRUE(same_interval(base, make({{"КонечныйОстаток", "5.1"}, {"НачальныйОстаток", "10"}})));
  EXPECT_FALSE(same_interval(base, make({})));                                  // absent vs present
  EXPECT_FALSE(same_interval(base, make({{"КонечныйОстаток", "5.11"}})));
  EXPECT_FALSE(same_interval(base, make({{"КонечныйОстаток", "5.1"}, {"ДатаКонца", "02.01.2024"}})));
  EXPECT_FALSE(same_interval(base, make({{"КонечныйОстаток", "5.1"}, {"ДатаНачала", "02.01.2024"}})));
  EXPECT_FALSE(same_interval(base, make({{"КонечныйОстаток", "5.1"}, {"ВсегоСписано", "0"}})));
  EXPECT_FALSE(same_interval(base, make({{"КонечныйОстаток", "5.1"}, {"ВсегоПоступило", "0"}})));
  EXPECT_FALSE(same_interval(base, make({{"КонечныйОстаток", "5.1"}, {"НачальныйОстаток", "10.01"}})));
}

}  // namespace
}  // namespace quorlane

namespace quorlane {
namespace {

TEST(ConvertDocument, ACopiedRecordKeepsItsBlockAlone) {
  Document copy;
  {
    TextStore store;
    std::vector<Document> docs;
    for (int i = 0; i < 3; ++i) {
      auto doc = convert_document(section(kRequiredDocument, {{"Номер", std::string("N").append(std::to_string(i))}}), 1, store);
      ASSERT_TRUE(doc.ok());
      docs.push_back(std::move(doc).value());
    }
    copy = docs[1];
    EXPECT_TRUE(copy.block() == docs[0].block());  // one block for the small records of one store
  }
  EXPECT_EQ(copy->doc_number, "N1");
  EXPECT_EQ(copy->purpose, "Оплата по счету 5");
  EXPECT_TRUE(copy.block());
}

}  // namespace
}  // namespace quorlane

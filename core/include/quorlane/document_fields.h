// The section field tables: which statement key feeds which field of a Document or an Interval, and the kind of
// its value. The one copy of each: the records (records.h), the conversions, the Python classes' attributes,
// the tables' columns and the accelerator's writer are made from them or checked against them when they are
// compiled.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace quorlane {

// What a field holds; the required kinds make a document without their key fail.
enum class FieldKind : unsigned char { Text, OptionalText, Date, OptionalDate, Amount, OptionalAmount };

constexpr bool is_required(FieldKind kind) noexcept {
  return kind == FieldKind::Text || kind == FieldKind::Date || kind == FieldKind::Amount;
}

// The account section's field table, as the documents' below: X(attribute, key, kind) for each value of an
// interval, in the record's order.
#define QUORLANE_INTERVAL_FIELDS(X)                  \
  X(date_start, "ДатаНачала", Date)                  \
  X(date_end, "ДатаКонца", OptionalDate)             \
  X(start_amount, "НачальныйОстаток", Amount)        \
  X(end_amount, "КонечныйОстаток", OptionalAmount)   \
  X(total_income, "ВсегоПоступило", OptionalAmount)  \
  X(total_expense, "ВсегоСписано", OptionalAmount)

// X(attribute, key, kind) for each field, in the record's order, which is also the order in which missing
// required fields are reported. "СекцияДокумент" is not written as a key: the reader adds it from the
// section's opening line.
#define QUORLANE_DOCUMENT_FIELDS(X)                        \
  X(doc_number, "Номер", Text)                             \
  X(doc_type, "СекцияДокумент", Text)                      \
  X(payment_type, "ВидОплаты", OptionalText)               \
  X(doc_date, "Дата", Date)                                \
  X(purpose, "НазначениеПлатежа", Text)                    \
  X(ordering, "Очередность", OptionalText)                 \
  X(amount, "Сумма", Amount)                               \
  X(counterparty_inn, "ПлательщикИНН", Text)               \
  X(counterparty_kpp, "ПлательщикКПП", OptionalText)       \
  X(counterparty_bic, "ПлательщикБИК", Text)               \
  X(counterparty_bank1, "ПлательщикБанк1", Text)           \
  X(counterparty_account, "ПлательщикСчет", Text)          \
  X(counterparty, "Плательщик", OptionalText)              \
  X(counterparty_1, "Плательщик1", OptionalText)           \
  X(outcome_date, "ДатаСписано", OptionalDate)             \
  X(counterparty_ras_account, "ПлательщикРасчСчет", OptionalText) \
  X(counterparty_cor_account, "ПлательщикКорсчет", OptionalText)  \
  X(payee_inn, "ПолучательИНН", Text)                      \
  X(payee, "Получатель", OptionalText)                     \
  X(payee_account, "ПолучательСчет", Text)                 \
  X(payee_kpp, "ПолучательКПП", OptionalText)              \
  X(payee_bic, "ПолучательБИК", Text)                      \
  X(payee_bank1, "ПолучательБанк1", Text)                  \
  X(payee_ras_account, "ПолучательРасчСчет", OptionalText) \
  X(payee_cor_account, "ПолучательКорсчет", OptionalText)  \
  X(income_date, "ДатаПоступило", OptionalDate)

struct DocumentField {
  std::string_view attribute;  // the field's name, in the record and as a Python attribute
  std::string_view key;        // the statement key, UTF-8
  FieldKind kind;
};
using IntervalField = DocumentField;

// The interval's fields' indexes, by name: interval_field::date_start and so on.
namespace interval_field {
#define QUORLANE_FIELD_INDEX(attribute, key, kind) attribute,
enum : int { QUORLANE_INTERVAL_FIELDS(QUORLANE_FIELD_INDEX) count };
#undef QUORLANE_FIELD_INDEX
}  // namespace interval_field

inline constexpr std::array<IntervalField, interval_field::count> kIntervalFields = {{
#define QUORLANE_FIELD_ENTRY(attribute, key, kind) {#attribute, key, FieldKind::kind},
    QUORLANE_INTERVAL_FIELDS(QUORLANE_FIELD_ENTRY)
#undef QUORLANE_FIELD_ENTRY
}};

// The fields' indexes in the table, by name: document_field_index::doc_date and so on.
namespace document_field_index {
#define QUORLANE_FIELD_INDEX(attribute, key, kind) attribute,
enum : int { QUORLANE_DOCUMENT_FIELDS(QUORLANE_FIELD_INDEX) count };
#undef QUORLANE_FIELD_INDEX
}  // namespace document_field_index

inline constexpr std::size_t kDocumentFieldCount = document_field_index::count;

inline constexpr std::array<DocumentField, kDocumentFieldCount> kDocumentFields = {{
#define QUORLANE_FIELD_ENTRY(attribute, key, kind) {#attribute, key, FieldKind::kind},
    QUORLANE_DOCUMENT_FIELDS(QUORLANE_FIELD_ENTRY)
#undef QUORLANE_FIELD_ENTRY
}};

// The order in which a document's values are shown: quorlane_py.Document's attributes (the order of its class
// dict), to_dict, the CSV columns and the table's columns. X(attribute) for each field of the table above.
#define QUORLANE_DOCUMENT_COLUMNS(X)                                                                      \
  X(doc_number) X(doc_type) X(doc_date) X(amount) X(purpose) X(payment_type) X(ordering)                  \
  X(counterparty_inn) X(counterparty_kpp) X(counterparty_bic) X(counterparty_bank1)                      \
  X(counterparty_account) X(counterparty) X(counterparty_1) X(counterparty_ras_account)                   \
  X(counterparty_cor_account) X(outcome_date) X(payee_inn) X(payee) X(payee_account) X(payee_kpp)         \
  X(payee_bic) X(payee_bank1) X(payee_ras_account) X(payee_cor_account) X(income_date)

// The table's index of each field, in that order.
inline constexpr std::array<int, kDocumentFieldCount> kDocumentColumns = {{
#define QUORLANE_COLUMN_FIELD(attribute) document_field_index::attribute,
    QUORLANE_DOCUMENT_COLUMNS(QUORLANE_COLUMN_FIELD)
#undef QUORLANE_COLUMN_FIELD
}};

namespace detail {
// Every field of the table exactly once.
constexpr bool is_field_permutation() {
  bool seen[kDocumentFieldCount] = {};
  for (int field : kDocumentColumns) {
    if (seen[field]) return false;
    seen[field] = true;
  }
  return true;
}
}  // namespace detail
static_assert(detail::is_field_permutation(), "the columns must be the fields of the table, each once");

// The index of the field of that attribute name, or -1.
constexpr int document_field_of_attribute(std::string_view attribute) noexcept {
  for (std::size_t i = 0; i < kDocumentFields.size(); ++i) {
    if (kDocumentFields[i].attribute == attribute) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace quorlane

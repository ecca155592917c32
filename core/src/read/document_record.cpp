// A document section's attributes → Document.
//
// As for intervals, no sorting is needed: keys are unique, text fields never fail and unknown keys are
// skipped, so the dates and the amount are converted in their keys' byte order, then the required fields are
// checked in table order. The texts kept are copied into one block of the caller's store.
#include <array>
#include <optional>
#include <new>
#include <utility>

#include "document_fields.h"
#include "key_table.h"
#include "quorlane/records.h"
#include "record_fields.h"

namespace quorlane {
namespace {

enum Field {
  kNumber, kType, kPaymentType, kDate, kPurpose, kOrdering, kAmount,
  kPayerInn, kPayerKpp, kPayerBic, kPayerBank1, kPayerAccount, kPayer, kPayer1, kOutcomeDate,
  kPayerRasAccount, kPayerCorAccount,
  kPayeeInn, kPayee, kPayeeAccount, kPayeeKpp, kPayeeBic, kPayeeBank1, kPayeeRasAccount, kPayeeCorAccount,
  kIncomeDate,
  kFieldCount
};

constexpr detail::KeyTable<kFieldCount> kKeys({
    "Номер",
    "СекцияДокумент",
    "ВидОплаты",
    "Дата",
    "НазначениеПлатежа",
    "Очередность",
    "Сумма",
    "ПлательщикИНН",
    "ПлательщикКПП",
    "ПлательщикБИК",
    "ПлательщикБанк1",
    "ПлательщикСчет",
    "Плательщик",
    "Плательщик1",
    "ДатаСписано",
    "ПлательщикРасчСчет",
    "ПлательщикКорсчет",
    "ПолучательИНН",
    "Получатель",
    "ПолучательСчет",
    "ПолучательКПП",
    "ПолучательБИК",
    "ПолучательБанк1",
    "ПолучательРасчСчет",
    "ПолучательКорсчет",
    "ДатаПоступило",
});

// The fields whose conversion can fail, in their keys' byte order.
constexpr std::array<int, 4> kExamined = {kDate, kIncomeDate, kOutcomeDate, kAmount};
static_assert(detail::ascending_keys(kKeys, kExamined));

constexpr std::array<int, 13> kRequired = {kNumber,       kType,      kDate,          kPurpose,   kAmount,
                                           kPayerInn,     kPayerBic,  kPayerBank1,    kPayerAccount,
                                           kPayeeInn,     kPayeeAccount, kPayeeBic,   kPayeeBank1};

constexpr std::uint32_t kTextFields =
    ((std::uint32_t{1} << kFieldCount) - 1) &
    ~((1u << kDate) | (1u << kAmount) | (1u << kOutcomeDate) | (1u << kIncomeDate));

static_assert(kFieldCount == detail::kDocumentFieldCount && kType == detail::kDocumentTypeField);

constexpr auto kKeys1251 = kKeys.in_windows_1251();

// A value to read as a date or an amount: as it is, or (written in windows-1251 with anything beyond ASCII)
// as UTF-8 in `scratch`. Values of these kinds are ASCII but for rare blanks and mistakes.
std::string_view as_utf8(std::string_view value, Encoding text_encoding, std::string& scratch) {
  if (text_encoding == Encoding::Utf8) return value;
  for (char c : value) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      scratch = to_utf8(value, text_encoding);
      return scratch;
    }
  }
  return value;
}

}  // namespace

namespace detail {

int document_field(std::string_view key, Encoding text_encoding) noexcept {
  return text_encoding == Encoding::Utf8 ? kKeys.find(key) : kKeys1251.find(key);
}

Result<Document, std::string> convert_document_fields(const DocumentFields& fields, Encoding text_encoding,
                                                      TextStore& store) {
  Date doc_date;
  Amount amount;
  std::optional<Date> outcome_date;
  std::optional<Date> income_date;
  std::string scratch;
  for (int field : kExamined) {
    if (!fields.has(field)) continue;
    const std::string_view value = as_utf8(fields.values[field], text_encoding, scratch);
    if (field == kDate) {
      auto date = read_date(value);
      if (!date) return Err(std::move(date).error());
      doc_date = date.value();
    } else if (field == kAmount) {
      auto read = read_amount(value);
      if (!read) return Err(std::move(read).error());
      amount = read.value();
    } else {
      auto date = read_optional_date(value);
      if (!date) return Err(std::move(date).error());
      (field == kIncomeDate ? income_date : outcome_date) = date.value();
    }
  }
  for (int field : kRequired) {
    if (!fields.has(field)) return Err(missing_field_message(kKeys.key(field)));
  }

  std::size_t total = 0;
  for (int field = 0; field < kFieldCount; ++field) {
    if ((kTextFields & fields.present) >> field & 1u) total += fields.values[field].size();
  }
  // The record and its texts share one block, so that one reference keeps a document whole. The texts are
  // copied as the statement wrote them, and the record is written once, where it stays.
  BlockRef block = store.reserve(sizeof(DocumentRecord) + alignof(DocumentRecord) - 1 + total);
  void* place = store.place(sizeof(DocumentRecord), alignof(DocumentRecord));
  const auto required = [&](int field) { return store.copy(fields.values[field]); };
  const auto optional = [&](int field) {
    return fields.has(field) ? OptionalText(store.copy(fields.values[field])) : OptionalText();
  };
  const DocumentRecord* record = new (place) DocumentRecord{
      .text_encoding = text_encoding,
      .doc_number = required(kNumber),
      .doc_type = required(kType),
      .payment_type = optional(kPaymentType),
      .doc_date = doc_date,
      .purpose = required(kPurpose),
      .ordering = optional(kOrdering),
      .amount = amount,
      .counterparty_inn = required(kPayerInn),
      .counterparty_kpp = optional(kPayerKpp),
      .counterparty_bic = required(kPayerBic),
      .counterparty_bank1 = required(kPayerBank1),
      .counterparty_account = required(kPayerAccount),
      .counterparty = optional(kPayer),
      .counterparty_1 = optional(kPayer1),
      .outcome_date = outcome_date,
      .counterparty_ras_account = optional(kPayerRasAccount),
      .counterparty_cor_account = optional(kPayerCorAccount),
      .payee_inn = required(kPayeeInn),
      .payee = optional(kPayee),
      .payee_account = required(kPayeeAccount),
      .payee_kpp = optional(kPayeeKpp),
      .payee_bic = required(kPayeeBic),
      .payee_bank1 = required(kPayeeBank1),
      .payee_ras_account = optional(kPayeeRasAccount),
      .payee_cor_account = optional(kPayeeCorAccount),
      .income_date = income_date,
  };
  return Document(std::move(block), record);
}

}  // namespace detail

Result<Document, std::string> convert_document(const AttributeMap& attrs, TextStore& store) {
  detail::DocumentFields fields;
  for (const AttributeMap::Entry& entry : attrs.entries()) {
    const int field = kKeys.find(entry.key);
    if (field != kKeys.kAbsent) fields.set(field, entry.value);
  }
  return detail::convert_document_fields(fields, Encoding::Utf8, store);
}

}  // namespace quorlane

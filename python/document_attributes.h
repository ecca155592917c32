// quorlane_py.Document's attributes in their Python order (the order of its class dict, of to_dict and of CSV
// columns). Each is a field of the core's table (quorlane/document_fields.h) and a member of
// quorlane::DocumentRecord of the same name; the check below keeps the two the same set.
#pragma once

#include <cstddef>
#include <iterator>
#include <string_view>

#include "quorlane/document_fields.h"

#define QUORLANE_DOCUMENT_ATTRIBUTES(X)                                                                   \
  X(doc_number) X(doc_type) X(doc_date) X(amount) X(purpose) X(payment_type) X(ordering)                  \
  X(counterparty_inn) X(counterparty_kpp) X(counterparty_bic) X(counterparty_bank1)                      \
  X(counterparty_account) X(counterparty) X(counterparty_1) X(counterparty_ras_account)                   \
  X(counterparty_cor_account) X(outcome_date) X(payee_inn) X(payee) X(payee_account) X(payee_kpp)         \
  X(payee_bic) X(payee_bank1) X(payee_ras_account) X(payee_cor_account) X(income_date)

namespace quorlane_py {

#define QUORLANE_ATTRIBUTE_FIELD(attribute) quorlane::document_field_index::attribute,
// The core table's index of each attribute, in the Python order.
inline constexpr int kDocumentAttributeFields[] = {QUORLANE_DOCUMENT_ATTRIBUTES(QUORLANE_ATTRIBUTE_FIELD)};
#undef QUORLANE_ATTRIBUTE_FIELD

namespace detail {
// Every field of the table exactly once: as many attributes as fields, none twice.
constexpr bool is_field_permutation() {
  bool seen[quorlane::kDocumentFieldCount] = {};
  for (int field : kDocumentAttributeFields) {
    if (seen[field]) return false;
    seen[field] = true;
  }
  return true;
}
}  // namespace detail

static_assert(std::size(kDocumentAttributeFields) == quorlane::kDocumentFieldCount && detail::is_field_permutation(),
              "the attributes must be the fields of the core's table, each once");

}  // namespace quorlane_py

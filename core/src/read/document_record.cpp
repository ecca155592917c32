// A document section's attributes → Document.
//
// Everything here is made from the field table (quorlane/document_fields.h). As for intervals, no sorting is
// needed at run time: keys are unique, text fields never fail and unknown keys are skipped, so the dates and
// the amount are converted in their keys' byte order, then the required fields are checked in table order.
// The texts kept are copied into one block of the caller's store.
#include <array>
#include <optional>
#include <new>
#include <utility>

#include "gathered_fields.h"
#include "key_table.h"
#include "quorlane/records.h"
#include "record_fields.h"

namespace quorlane {
namespace {

namespace field = document_field_index;
constexpr int kFieldCount = field::count;

constexpr std::array<std::string_view, kFieldCount> keys_of_table() {
  std::array<std::string_view, kFieldCount> keys{};
  for (int i = 0; i < kFieldCount; ++i) keys[i] = kDocumentFields[i].key;
  return keys;
}

constexpr detail::KeyTable<kFieldCount> kKeys(keys_of_table());

constexpr bool is_fallible(FieldKind kind) noexcept { return kind != FieldKind::Text && kind != FieldKind::OptionalText; }

constexpr std::size_t count_of(bool (*which)(FieldKind) noexcept) {
  std::size_t n = 0;
  for (const DocumentField& f : kDocumentFields) n += which(f.kind);
  return n;
}

// The fields whose conversion can fail (dates and amounts), in their keys' byte order: the order in which the
// first bad value is found.
constexpr auto kExamined = [] {
  std::array<int, count_of(is_fallible)> fields{};
  std::size_t n = 0;
  for (int i = 0; i < kFieldCount; ++i) {
    if (!is_fallible(kDocumentFields[i].kind)) continue;
    std::size_t at = n++;
    for (; at > 0 && kDocumentFields[i].key < kDocumentFields[fields[at - 1]].key; --at) fields[at] = fields[at - 1];
    fields[at] = i;
  }
  return fields;
}();
static_assert(detail::ascending_keys(kKeys, kExamined));

// Each examined field's place in kExamined.
constexpr auto kSlot = [] {
  std::array<std::size_t, kFieldCount> slots{};
  for (std::size_t slot = 0; slot < kExamined.size(); ++slot) slots[kExamined[slot]] = slot;
  return slots;
}();

// The required fields, in table order: the order in which a missing one is reported.
constexpr auto kRequired = [] {
  std::array<int, count_of(is_required)> fields{};
  std::size_t n = 0;
  for (int i = 0; i < kFieldCount; ++i) {
    if (is_required(kDocumentFields[i].kind)) fields[n++] = i;
  }
  return fields;
}();

constexpr std::uint32_t kTextFields = [] {
  std::uint32_t bits = 0;
  for (int i = 0; i < kFieldCount; ++i) bits |= std::uint32_t{!is_fallible(kDocumentFields[i].kind)} << i;
  return bits;
}();

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

namespace {

// The converted dates and amounts of a section, by their place in kExamined; a date absent stays empty.
struct ConvertedValues {
  std::optional<Date> dates[kExamined.size()];
  Amount amounts[kExamined.size()];
};

// Converts the dates and the amount, in their keys' order, then checks the required fields in table order.
Result<ConvertedValues, std::string> convert_values(const DocumentFields& fields, Encoding text_encoding) {
  ConvertedValues converted;
  std::string scratch;
  for (std::size_t slot = 0; slot < kExamined.size(); ++slot) {
    const int f = kExamined[slot];
    if (!fields.has(f)) continue;
    const std::string_view value = as_utf8(fields.values[f], text_encoding, scratch);
    const FieldKind kind = kDocumentFields[f].kind;
    if (kind == FieldKind::Amount) {
      auto read = read_amount(value);
      if (!read) return Err(std::move(read).error());
      converted.amounts[slot] = read.value();
    } else if (kind == FieldKind::Date) {
      auto date = read_date(value);
      if (!date) return Err(std::move(date).error());
      converted.dates[slot] = date.value();
    } else {
      auto date = read_optional_date(value);
      if (!date) return Err(std::move(date).error());
      converted.dates[slot] = date.value();
    }
  }
  for (int f : kRequired) {
    if (!fields.has(f)) return Err(missing_field_message(kKeys.key(f)));
  }
  return converted;
}

// The record of converted values, each text field's value being text(field index).
template <class Text>
DocumentRecord record_of(const DocumentFields& fields, const ConvertedValues& converted, Encoding text_encoding,
                         std::uint64_t lineno, Text text) {
  const auto value_of = [&]<FieldKind Kind>(int f) -> typename FieldValue<Kind>::type {
    if constexpr (Kind == FieldKind::Text) {
      return text(f);
    } else if constexpr (Kind == FieldKind::OptionalText) {
      return fields.has(f) ? OptionalText(text(f)) : OptionalText();
    } else if constexpr (Kind == FieldKind::Date) {
      return *converted.dates[kSlot[f]];  // present: required fields are checked
    } else if constexpr (Kind == FieldKind::OptionalDate) {
      return converted.dates[kSlot[f]];
    } else {
      return converted.amounts[kSlot[f]];
    }
  };
  // Designated initializers are evaluated in order: the texts are copied in the table's order.
  return DocumentRecord{
      .text_encoding = text_encoding,
      .lineno = lineno,
#define QUORLANE_FIELD_VALUE(attribute, key, kind) .attribute = value_of.template operator()<FieldKind::kind>(field::attribute),
      QUORLANE_DOCUMENT_FIELDS(QUORLANE_FIELD_VALUE)
#undef QUORLANE_FIELD_VALUE
  };
}

DocumentFields gathered_from(const AttributeMap& attrs) noexcept {
  DocumentFields fields;
  for (const AttributeMap::Entry& entry : attrs.entries()) {
    const int field = kKeys.find(entry.key);
    if (field != kKeys.kAbsent) fields.set(field, entry.value);
  }
  return fields;
}

}  // namespace

Result<Document, std::string> convert_document_fields(const DocumentFields& fields, Encoding text_encoding,
                                                      std::uint64_t lineno, TextStore& store) {
  auto converted = convert_values(fields, text_encoding);
  if (!converted) return Err(std::move(converted).error());
  std::size_t total = 0;
  for (int f = 0; f < kFieldCount; ++f) {
    if ((kTextFields & fields.present) >> f & 1u) total += fields.values[f].size();
  }
  // The record and its texts share one block, so that one reference keeps a document whole. The texts are
  // copied as the statement wrote them, and the record is written once, where it stays.
  BlockRef block = store.reserve(sizeof(DocumentRecord) + alignof(DocumentRecord) - 1 + total);
  void* place = store.place(sizeof(DocumentRecord), alignof(DocumentRecord));
  const DocumentRecord* record = new (place) DocumentRecord(record_of(
      fields, converted.value(), text_encoding, lineno, [&](int f) { return store.copy(fields.values[f]); }));
  return Document(std::move(block), record);
}

Result<DocumentRecord, std::string> view_document_fields(const DocumentFields& fields, Encoding text_encoding,
                                                         std::uint64_t lineno) {
  auto converted = convert_values(fields, text_encoding);
  if (!converted) return Err(std::move(converted).error());
  return record_of(fields, converted.value(), text_encoding, lineno, [&](int f) { return fields.values[f]; });
}

}  // namespace detail

Result<Document, std::string> convert_document(const AttributeMap& attrs, std::uint64_t lineno, TextStore& store) {
  return detail::convert_document_fields(detail::gathered_from(attrs), Encoding::Utf8, lineno, store);
}

Result<DocumentRecord, std::string> view_document(const AttributeMap& attrs, std::uint64_t lineno) {
  return detail::view_document_fields(detail::gathered_from(attrs), Encoding::Utf8, lineno);
}

}  // namespace quorlane

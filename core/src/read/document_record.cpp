// A document section's attributes → Document, by the one conversion of the field tables (field_conversion.h).
// The texts kept are copied into one block of the caller's store.
#include <new>
#include <utility>

#include "field_conversion.h"
#include "gathered_fields.h"
#include "quorlane/records.h"

namespace quorlane {
namespace detail {
namespace {

using Conversion = DocumentConversion;
constexpr int kFieldCount = static_cast<int>(Conversion::kCount);

constexpr std::uint32_t kTextFields = [] {
  std::uint32_t bits = 0;
  for (int i = 0; i < kFieldCount; ++i) bits |= std::uint32_t{!is_fallible(kDocumentFields[i].kind)} << i;
  return bits;
}();

// The record of converted values, each text field's value being text(field index).
template <class Text>
DocumentRecord record_of(const DocumentFields& fields, const Conversion::Converted& converted, Encoding text_encoding,
                         std::uint64_t lineno, Text text) {
  // Designated initializers are evaluated in order: the texts are copied in the table's order.
  return DocumentRecord{
      .text_encoding = text_encoding,
      .lineno = lineno,
#define QUORLANE_FIELD_VALUE(attribute, key, kind) \
  .attribute = Conversion::value<FieldKind::kind>(fields, converted, document_field_index::attribute, text),
      QUORLANE_DOCUMENT_FIELDS(QUORLANE_FIELD_VALUE)
#undef QUORLANE_FIELD_VALUE
  };
}

}  // namespace

int document_field(std::string_view key, Encoding text_encoding) noexcept {
  return Conversion::field(key, text_encoding);
}

Result<Document, FieldFailure> convert_document_fields(const DocumentFields& fields, Encoding text_encoding,
                                                      std::uint64_t lineno, TextStore& store) {
  auto converted = Conversion::convert(fields, text_encoding);
  if (!converted) return Err(std::move(converted).error());
  std::size_t total = 0;
  for (int f = 0; f < kFieldCount; ++f) {
    if ((kTextFields & fields.present) >> f & 1u) total += fields.values[f].size();
  }
  // The record and its texts share one block, so that one reference keeps a document whole. The texts are
  // copied as the statement wrote them, and the record is written once, where it stays.
  BlockRef block = store.reserve(sizeof(DocumentRecord) + alignof(DocumentRecord) - 1 + total);
  void* place = store.place(sizeof(DocumentRecord), alignof(DocumentRecord));
  const auto copy = [&](int f) { return store.copy(fields.values[f]); };
  const DocumentRecord* record =
      new (place) DocumentRecord(record_of(fields, converted.value(), text_encoding, lineno, copy));
  return Document(std::move(block), record);
}

Result<DocumentRecord, FieldFailure> view_document_fields(const DocumentFields& fields, Encoding text_encoding,
                                                         std::uint64_t lineno) {
  auto converted = Conversion::convert(fields, text_encoding);
  if (!converted) return Err(std::move(converted).error());
  const auto view = [&](int f) { return fields.values[f]; };
  return record_of(fields, converted.value(), text_encoding, lineno, view);
}

}  // namespace detail

namespace {

// The bytes of a record's text field, and the field kept in a store; a value of another kind is itself.
std::size_t text_size(std::string_view text) noexcept { return text.size(); }
std::size_t text_size(const OptionalText& text) noexcept { return text.has_value() ? text.value().size() : 0; }
template <class T>
std::size_t text_size(const T&) noexcept {
  return 0;
}

std::string_view kept(std::string_view text, TextStore& store) { return store.copy(text); }
OptionalText kept(const OptionalText& text, TextStore& store) {
  return text.has_value() ? OptionalText(store.copy(text.value())) : OptionalText();
}
template <class T>
T kept(const T& value, TextStore&) {
  return value;
}

}  // namespace

Document keep_document(const DocumentRecord& viewed, TextStore& store) {
  std::size_t total = 0;
#define QUORLANE_TEXT_SIZE(attribute, key, kind) total += text_size(viewed.attribute);
  QUORLANE_DOCUMENT_FIELDS(QUORLANE_TEXT_SIZE)
#undef QUORLANE_TEXT_SIZE
  // As convert_document_fields lays a record out: the record, then its texts, in one block.
  BlockRef block = store.reserve(sizeof(DocumentRecord) + alignof(DocumentRecord) - 1 + total);
  void* place = store.place(sizeof(DocumentRecord), alignof(DocumentRecord));
  const DocumentRecord* record = new (place) DocumentRecord{
      .text_encoding = viewed.text_encoding,
      .lineno = viewed.lineno,
#define QUORLANE_KEPT_FIELD(attribute, key, kind) .attribute = kept(viewed.attribute, store),
      QUORLANE_DOCUMENT_FIELDS(QUORLANE_KEPT_FIELD)
#undef QUORLANE_KEPT_FIELD
  };
  return Document(std::move(block), record);
}

Result<Document, FieldFailure> convert_document(const AttributeMap& attrs, std::uint64_t lineno, TextStore& store) {
  return detail::convert_document_fields(detail::DocumentConversion::gathered_from(attrs), Encoding::Utf8, lineno,
                                         store);
}

Result<DocumentRecord, FieldFailure> view_document(const AttributeMap& attrs, std::uint64_t lineno) {
  return detail::view_document_fields(detail::DocumentConversion::gathered_from(attrs), Encoding::Utf8, lineno);
}

}  // namespace quorlane

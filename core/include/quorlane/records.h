// Section records: an account section becomes an Interval, a document section a Document. The interval's key
// table, the documents' records (made from the field table of document_fields.h), and the conversions that
// check required fields in order and report missing ones.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "quorlane/attribute_map.h"
#include "quorlane/decode.h"
#include "quorlane/document_fields.h"
#include "quorlane/result.h"
#include "quorlane/text_store.h"
#include "quorlane/values.h"

namespace quorlane {

// A stored text, or absent. Absent differs from the empty text.
class OptionalText {
 public:
  OptionalText() noexcept = default;
  explicit OptionalText(std::string_view text) noexcept : data_(text.data() ? text.data() : ""), size_(text.size()) {}

  bool has_value() const noexcept { return data_ != nullptr; }
  std::string_view value() const noexcept { return {data_, size_}; }  // precondition: has_value()

 private:
  const char* data_ = nullptr;
  std::size_t size_ = 0;
};

// What a field of each kind is held as in a record.
template <FieldKind Kind> struct FieldValue;
template <> struct FieldValue<FieldKind::Text> { using type = std::string_view; };
template <> struct FieldValue<FieldKind::OptionalText> { using type = OptionalText; };
template <> struct FieldValue<FieldKind::Date> { using type = Date; };
template <> struct FieldValue<FieldKind::OptionalDate> { using type = std::optional<Date>; };
template <> struct FieldValue<FieldKind::Amount> { using type = Amount; };
template <> struct FieldValue<FieldKind::OptionalAmount> { using type = std::optional<Amount>; };

// One account section: a period and its balances, a member for each field of the interval table
// (document_fields.h), of the same name and in its order.
struct Interval {
#define QUORLANE_RECORD_MEMBER(attribute, key, kind) FieldValue<FieldKind::kind>::type attribute;
  QUORLANE_INTERVAL_FIELDS(QUORLANE_RECORD_MEMBER)
#undef QUORLANE_RECORD_MEMBER
  std::uint64_t lineno = 0;  // the section's line number: its closing line ("КонецРасчСчет")
};

// Equal in all six values (not in the line); amounts by numeric value, an absent value equals only an absent
// value.
bool same_interval(const Interval& a, const Interval& b) noexcept;

// The key of an account section's number; the header names the statement's accounts with it too.
inline constexpr std::string_view kAccountNumberKey = "РасчСчет";

struct Account {
  std::string number;  // the value of "РасчСчет", unchanged
  std::vector<Interval> intervals;  // ascending by start date (see the reader's filing rule)
};

// The values of one document section: a member for each field of the table in document_fields.h, of the same
// name and in its order (doc_number, doc_type, payment_type, doc_date, ...). It lives in the same block as its
// texts, and is reached through a Document, which keeps that block alive. The texts are kept as the statement
// wrote them: UTF-8, or windows-1251 bytes (text_encoding tells which), to be turned into UTF-8 (to_utf8)
// where they are read, so that a reading neither decodes nor stores more than its caller asks for.
struct DocumentRecord {
  Encoding text_encoding = Encoding::Utf8;
  std::uint64_t lineno = 0;  // the section's line number: its closing line ("КонецДокумента")
#define QUORLANE_RECORD_MEMBER(attribute, key, kind) FieldValue<FieldKind::kind>::type attribute;
  QUORLANE_DOCUMENT_FIELDS(QUORLANE_RECORD_MEMBER)
#undef QUORLANE_RECORD_MEMBER
};
static_assert(std::is_trivially_destructible_v<DocumentRecord>, "records in a block are never destroyed");

// One converted document: its record and the block that holds the record and its texts. Small, so that
// vectors of documents and the objects that keep one stay cheap.
class Document {
 public:
  Document() noexcept = default;
  Document(BlockRef block, const DocumentRecord* record) noexcept : block_(std::move(block)), record_(record) {}

  const DocumentRecord& operator*() const noexcept { return *record_; }  // precondition: not default-made
  const DocumentRecord* operator->() const noexcept { return record_; }
  const BlockRef& block() const noexcept { return block_; }

 private:
  BlockRef block_;
  const DocumentRecord* record_ = nullptr;
};

// Why a section's values did not convert: the message (a value's, or "missing field `KEY`"), and the field at
// fault: its key (the field table's) and its value as the section wrote it, in UTF-8 (none for a missing field).
struct FieldFailure {
  std::string message;
  std::string_view key;
  std::optional<std::string> value;
};

// Converts the attributes of an account section whose closing line is `lineno`. Failure: the message.
Result<Interval, std::string> convert_interval(const AttributeMap& attrs, std::uint64_t lineno);

// Converts the attributes of a document section whose closing line is `lineno` (the reader has already added
// "СекцияДокумент"), copying the texts it keeps into `store` as one block.
Result<Document, FieldFailure> convert_document(const AttributeMap& attrs, std::uint64_t lineno, TextStore& store);
// The same conversion into a record whose texts are views of the map's values, valid as long as they are.
Result<DocumentRecord, FieldFailure> view_document(const AttributeMap& attrs, std::uint64_t lineno);

// A record whose texts are views (as a DocumentSink is handed one), kept: copied with its texts, as they are
// written, into one block of `store`.
Document keep_document(const DocumentRecord& viewed, TextStore& store);

}  // namespace quorlane

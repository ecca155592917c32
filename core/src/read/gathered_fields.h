// The values of a section gathered by field of its table, before conversion. The reader fills a document's
// directly from the lines when no hook can see the section's attributes; otherwise they are gathered from the
// attribute map. Either way the later value of a repeated key wins and unknown keys are left out.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "quorlane/decode.h"
#include "quorlane/document_fields.h"
#include "quorlane/records.h"
#include "quorlane/result.h"

namespace quorlane::detail {

static_assert(kDocumentFieldCount <= 32, "one bit a field");

template <std::size_t N>
struct GatheredFields {
  std::string_view values[N];  // by index of the field table
  std::uint32_t present = 0;  // bit per field
  std::array<std::uint64_t, N> lines{};  // of the values, where a sink wants them

  void set(int field, std::string_view value) noexcept {
    values[field] = value;
    present |= std::uint32_t{1} << field;
  }
  bool has(int field) const noexcept { return (present >> field) & 1u; }
};
using DocumentFields = GatheredFields<kDocumentFieldCount>;

// The document field a key feeds, or -1. The key is written in `text_encoding`.
int document_field(std::string_view key, Encoding text_encoding) noexcept;
// The interval value a key feeds (its index in kIntervalFields), or -1.
int interval_field(std::string_view key, Encoding text_encoding) noexcept;

// Converts gathered values (written in `text_encoding`) of the section closed at `lineno` into a record,
// copying its texts as they are written into one block of `store`.
Result<Document, FieldFailure> convert_document_fields(const DocumentFields& fields, Encoding text_encoding,
                                                      std::uint64_t lineno, TextStore& store);
// The same conversion into a record whose texts are the gathered views themselves.
Result<DocumentRecord, FieldFailure> view_document_fields(const DocumentFields& fields, Encoding text_encoding,
                                                         std::uint64_t lineno);

}  // namespace quorlane::detail

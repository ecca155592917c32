// The one conversion of a section's values by its field table (document_fields.h), for documents and intervals
// alike. No sorting is needed at run time: keys are unique, text fields never fail and unknown keys are
// skipped, so the fallible values (dates and amounts) are converted in their keys' byte order, which is the
// order in which the first bad value is found, then the required fields are checked in table order.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "gathered_fields.h"
#include "key_table.h"
#include "quorlane/document_fields.h"
#include "quorlane/records.h"
#include "quorlane/values.h"
#include "record_fields.h"

namespace quorlane::detail {

// A value to read as a date or an amount: as it is, or (written in windows-1251 with anything beyond ASCII)
// as UTF-8 in `scratch`. Values of these kinds are ASCII but for rare blanks and mistakes.
inline std::string_view as_utf8(std::string_view value, Encoding text_encoding, std::string& scratch) {
  if (text_encoding == Encoding::Utf8) return value;
  for (char c : value) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      scratch = to_utf8(value, text_encoding);
      return scratch;
    }
  }
  return value;
}

constexpr bool is_fallible(FieldKind kind) noexcept { return kind != FieldKind::Text && kind != FieldKind::OptionalText; }

template <const auto& Fields>
class FieldConversion {
 public:
  static constexpr std::size_t kCount = Fields.size();

  static constexpr KeyTable<kCount> kKeys{[] {
    std::array<std::string_view, kCount> keys{};
    for (std::size_t i = 0; i < kCount; ++i) keys[i] = Fields[i].key;
    return keys;
  }()};
  static constexpr KeyTable<kCount> kKeys1251 = kKeys.in_windows_1251();

  // The field a key (written in `text_encoding`) feeds, or -1.
  static int field(std::string_view key, Encoding text_encoding) noexcept {
    return text_encoding == Encoding::Utf8 ? kKeys.find(key) : kKeys1251.find(key);
  }

 private:
  static constexpr std::size_t count_of(bool (*which)(FieldKind) noexcept) {
    std::size_t n = 0;
    for (const DocumentField& f : Fields) n += which(f.kind);
    return n;
  }

 public:
  // The fallible fields in their keys' byte order.
  static constexpr auto kExamined = [] {
    std::array<int, count_of(is_fallible)> fields{};
    std::size_t n = 0;
    for (std::size_t i = 0; i < kCount; ++i) {
      if (!is_fallible(Fields[i].kind)) continue;
      std::size_t at = n++;
      for (; at > 0 && Fields[i].key < Fields[fields[at - 1]].key; --at) fields[at] = fields[at - 1];
      fields[at] = static_cast<int>(i);
    }
    return fields;
  }();
  static_assert(ascending_keys(kKeys, kExamined));

  // Each examined field's place in kExamined.
  static constexpr auto kSlot = [] {
    std::array<std::size_t, kCount> slots{};
    for (std::size_t slot = 0; slot < kExamined.size(); ++slot) slots[kExamined[slot]] = slot;
    return slots;
  }();

  // The required fields, in table order: the order in which a missing one is reported.
  static constexpr auto kRequired = [] {
    std::array<int, count_of(is_required)> fields{};
    std::size_t n = 0;
    for (std::size_t i = 0; i < kCount; ++i) {
      if (is_required(Fields[i].kind)) fields[n++] = static_cast<int>(i);
    }
    return fields;
  }();

  // The converted dates and amounts of a section, by their place in kExamined; an absent one stays empty.
  struct Converted {
    std::optional<Date> dates[kExamined.size()];
    std::optional<Amount> amounts[kExamined.size()];
  };

  // Converts the dates and amounts, in their keys' order, then checks the required fields in table order.
  static Result<Converted, FieldFailure> convert(const GatheredFields<kCount>& fields, Encoding text_encoding) {
    Converted converted;
    std::string scratch;
    for (std::size_t slot = 0; slot < kExamined.size(); ++slot) {
      const int f = kExamined[slot];
      if (!fields.has(f)) continue;
      const std::string_view value = as_utf8(fields.values[f], text_encoding, scratch);
      const auto failed = [&](std::string message) {
        return Err(FieldFailure{std::move(message), key(f), std::string(value)});
      };
      const FieldKind kind = Fields[static_cast<std::size_t>(f)].kind;
      if (kind == FieldKind::Amount || kind == FieldKind::OptionalAmount) {
        auto read = read_amount(value);
        if (!read) return failed(std::move(read).error());
        converted.amounts[slot] = read.value();
      } else if (kind == FieldKind::Date) {
        auto date = read_date(value);
        if (!date) return failed(std::move(date).error());
        converted.dates[slot] = date.value();
      } else {
        auto date = read_optional_date(value);
        if (!date) return failed(std::move(date).error());
        converted.dates[slot] = date.value();
      }
    }
    for (int f : kRequired) {
      if (!fields.has(f)) return Err(FieldFailure{missing_field_message(key(f)), key(f), std::nullopt});
    }
    return converted;
  }

  static constexpr std::string_view key(int f) noexcept { return kKeys.key(static_cast<std::size_t>(f)); }

  // The value of field `f` as a record holds it, of kind `Kind`: a text as text(f) makes it.
  template <FieldKind Kind, class Text>
  static typename FieldValue<Kind>::type value(const GatheredFields<kCount>& fields, const Converted& converted,
                                               int f, Text& text) {
    const std::size_t slot = kSlot[static_cast<std::size_t>(f)];
    if constexpr (Kind == FieldKind::Text) {
      return text(f);
    } else if constexpr (Kind == FieldKind::OptionalText) {
      return fields.has(f) ? OptionalText(text(f)) : OptionalText();
    } else if constexpr (Kind == FieldKind::Date) {
      return *converted.dates[slot];  // present: required fields are checked
    } else if constexpr (Kind == FieldKind::OptionalDate) {
      return converted.dates[slot];
    } else if constexpr (Kind == FieldKind::Amount) {
      return *converted.amounts[slot];
    } else {
      return converted.amounts[slot];
    }
  }

  // The fields of an attribute map (UTF-8).
  static GatheredFields<kCount> gathered_from(const AttributeMap& attrs) noexcept {
    GatheredFields<kCount> fields;
    for (const AttributeMap::Entry& entry : attrs.entries()) {
      const int f = kKeys.find(entry.key);
      if (f != kKeys.kAbsent) fields.set(f, entry.value);
    }
    return fields;
  }
};

using DocumentConversion = FieldConversion<kDocumentFields>;
using IntervalConversion = FieldConversion<kIntervalFields>;

}  // namespace quorlane::detail

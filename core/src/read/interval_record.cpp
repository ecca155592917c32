// An account section's attributes → Interval.
//
// Keys in a map are unique (a repeated key replaced its value), text fields never fail and unknown keys are
// skipped, so examining "the pairs in ascending key order, stopping at the first bad value" comes down to
// converting the fallible fields in the byte order of their keys, then checking the required ones.
#include <array>

#include "key_table.h"
#include "quorlane/records.h"
#include "gathered_fields.h"
#include "record_fields.h"

namespace quorlane {
namespace {

enum Field {
  kDateStart = interval_field::date_start,
  kDateEnd = interval_field::date_end,
  kStartAmount = interval_field::start_amount,
  kEndAmount = interval_field::end_amount,
  kTotalIncome = interval_field::total_income,
  kTotalExpense = interval_field::total_expense,
  kFieldCount = interval_field::count,
};

constexpr std::array<std::string_view, kFieldCount> keys_of_table() {
  std::array<std::string_view, kFieldCount> keys{};
  for (int i = 0; i < kFieldCount; ++i) keys[i] = kIntervalFields[i].key;
  return keys;
}

constexpr detail::KeyTable<kFieldCount> kKeys(keys_of_table());
constexpr detail::KeyTable<kFieldCount> kKeys1251 = kKeys.in_windows_1251();

// Every field of an interval can fail; this is their keys' byte order.
constexpr std::array<int, kFieldCount> kExamined = {kTotalIncome, kTotalExpense, kDateEnd,
                                                    kDateStart,   kEndAmount,    kStartAmount};
static_assert(detail::ascending_keys(kKeys, kExamined));

bool same_optional_amount(const std::optional<Amount>& a, const std::optional<Amount>& b) noexcept {
  if (a.has_value() != b.has_value()) return false;
  return !a.has_value() || same_value(*a, *b);
}

}  // namespace

int detail::interval_field(std::string_view key, Encoding text_encoding) noexcept {
  return text_encoding == Encoding::Utf8 ? kKeys.find(key) : kKeys1251.find(key);
}

bool same_interval(const Interval& a, const Interval& b) noexcept {
  return a.date_start == b.date_start && a.date_end == b.date_end && same_value(a.start_amount, b.start_amount) &&
         same_optional_amount(a.end_amount, b.end_amount) && same_optional_amount(a.total_income, b.total_income) &&
         same_optional_amount(a.total_expense, b.total_expense);
}

Result<Interval, std::string> convert_interval(const AttributeMap& attrs, std::uint64_t lineno) {
  const std::string_view* found[kFieldCount] = {};
  for (const AttributeMap::Entry& entry : attrs.entries()) {
    const int field = kKeys.find(entry.key);
    if (field != kKeys.kAbsent) found[field] = &entry.value;
  }

  Interval interval;
  interval.lineno = lineno;
  bool has_start = false;
  bool has_amount = false;
  for (int field : kExamined) {
    if (found[field] == nullptr) continue;
    const std::string_view value = *found[field];
    switch (field) {
      case kDateStart: {
        auto date = read_date(value);
        if (!date) return Err(std::move(date).error());
        interval.date_start = date.value();
        has_start = true;
        break;
      }
      case kDateEnd: {
        auto date = read_optional_date(value);
        if (!date) return Err(std::move(date).error());
        interval.date_end = date.value();
        break;
      }
      default: {
        auto amount = read_amount(value);
        if (!amount) return Err(std::move(amount).error());
        if (field == kStartAmount) {
          interval.start_amount = amount.value();
          has_amount = true;
        } else if (field == kEndAmount) {
          interval.end_amount = amount.value();
        } else if (field == kTotalIncome) {
          interval.total_income = amount.value();
        } else {
          interval.total_expense = amount.value();
        }
        break;
      }
    }
  }

  if (!has_start) return Err(detail::missing_field_message(kKeys.key(kDateStart)));
  if (!has_amount) return Err(detail::missing_field_message(kKeys.key(kStartAmount)));
  return interval;
}

}  // namespace quorlane

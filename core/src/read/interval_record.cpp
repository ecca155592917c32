// An account section's attributes → Interval, by the one conversion of the field tables (field_conversion.h).
#include "field_conversion.h"
#include "gathered_fields.h"
#include "quorlane/records.h"

namespace quorlane {

int detail::interval_field(std::string_view key, Encoding text_encoding) noexcept {
  return detail::IntervalConversion::field(key, text_encoding);
}

namespace {

bool same_optional_amount(const std::optional<Amount>& a, const std::optional<Amount>& b) noexcept {
  if (a.has_value() != b.has_value()) return false;
  return !a.has_value() || same_value(*a, *b);
}

}  // namespace

bool same_interval(const Interval& a, const Interval& b) noexcept {
  return a.date_start == b.date_start && a.date_end == b.date_end && same_value(a.start_amount, b.start_amount) &&
         same_optional_amount(a.end_amount, b.end_amount) && same_optional_amount(a.total_income, b.total_income) &&
         same_optional_amount(a.total_expense, b.total_expense);
}

Result<Interval, std::string> convert_interval(const AttributeMap& attrs, std::uint64_t lineno) {
  using Conversion = detail::IntervalConversion;
  const auto fields = Conversion::gathered_from(attrs);
  auto converted = Conversion::convert(fields, Encoding::Utf8);
  if (!converted) return Err(std::move(converted).error().message);
  const auto no_text = [](int) { return std::string_view(); };  // an interval holds no text
  return Interval{
#define QUORLANE_FIELD_VALUE(attribute, key, kind) \
  .attribute = Conversion::value<FieldKind::kind>(fields, converted.value(), interval_field::attribute, no_text),
      QUORLANE_INTERVAL_FIELDS(QUORLANE_FIELD_VALUE)
#undef QUORLANE_FIELD_VALUE
      .lineno = lineno,
  };
}

}  // namespace quorlane

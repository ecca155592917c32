// The documents table grows a row at a time while the core reads: the section's line, the record's values and
// the keys asked for, each checked against its column as it comes (a date beyond date32, a text beyond what a
// batch holds). What needs the whole reading is done at the end: the amounts, kept as read until the scale of
// their column is known, are scaled in place; the account and file columns are added; the intervals table is
// made from the accounts.
#include "statement_tables.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>

#include "column_builder.h"
#include "quorlane/decode.h"
#include "quorlane/document_fields.h"
#include "quorlane/records.h"
#include "quorlane/values.h"

namespace quorlane_accel {
namespace {

using quorlane::Amount;
using quorlane::Date;
using quorlane::DocumentRecord;
using quorlane::Encoding;
using quorlane::Err;
using quorlane::OptionalText;

// Amounts are written in roubles and kopecks: a column has at least two fractional digits, so that statements
// whose amounts are all whole share the type of the others.
constexpr unsigned kLeastScale = 2;

// A row holds the read amount until its column's scale is known, then the scaled one, in the same 16 bytes.
static_assert(sizeof(Amount) == sizeof(quorlane::ScaledAmount) && std::is_trivially_copyable_v<Amount>);

enum class Type { Text, Date, Decimal, Line };

constexpr std::size_t width_of(Type type) noexcept {
  switch (type) {
    case Type::Text: return 0;
    case Type::Date: return sizeof(std::int32_t);
    case Type::Decimal: return sizeof(quorlane::ScaledAmount);
    case Type::Line: return sizeof(std::int64_t);
  }
  return 0;
}

ArrowField field_of(std::string name, Type type, bool nullable, unsigned scale) {
  std::string format;
  switch (type) {
    case Type::Text: format = "u"; break;
    case Type::Date: format = "tdD"; break;  // date32: days since 1970-01-01
    case Type::Decimal:
      format = "d:" + std::to_string(quorlane::kMaxScaledDigits) + "," + std::to_string(scale);  // decimal128
      break;
    case Type::Line: format = "l"; break;
  }
  return ArrowField{std::move(name), std::move(format), nullable};
}

constexpr Type type_of(quorlane::FieldKind kind) noexcept {
  switch (kind) {
    case quorlane::FieldKind::Text:
    case quorlane::FieldKind::OptionalText: return Type::Text;
    case quorlane::FieldKind::Date:
    case quorlane::FieldKind::OptionalDate: return Type::Date;
    case quorlane::FieldKind::Amount: return Type::Decimal;
  }
  return Type::Text;
}

// Calls visit(field index, value) for each field of the record, in the table's order.
template <class Visit>
void each_field(const DocumentRecord& record, Visit&& visit) {
#define QUORLANE_VISIT(attribute, key, kind) visit(quorlane::document_field_index::attribute, record.attribute);
  QUORLANE_DOCUMENT_FIELDS(QUORLANE_VISIT)
#undef QUORLANE_VISIT
}

// Calls visit(index in kIntervalFields, value) for each of an interval's six values.
template <class Visit>
void each_value(const quorlane::Interval& interval, Visit&& visit) {
  namespace field = quorlane::interval_field;
  visit(field::date_start, interval.date_start);
  visit(field::date_end, interval.date_end);
  visit(field::start_amount, interval.start_amount);
  visit(field::end_amount, interval.end_amount);
  visit(field::total_income, interval.total_income);
  visit(field::total_expense, interval.total_expense);
}

// ---- what a column cannot hold ----

bool fits_date32(const Date& date) noexcept {
  const std::int64_t days = quorlane::days_since_epoch(date);
  return days >= std::numeric_limits<std::int32_t>::min() && days <= std::numeric_limits<std::int32_t>::max();
}

Refusal refused(std::string code, std::uint64_t lineno, std::string_view key, std::string message) {
  return Refusal{std::move(code), lineno, std::string(key), std::move(message)};
}

std::optional<Refusal> date_refusal(const Date& date, std::uint64_t lineno, std::string_view key) {
  if (fits_date32(date)) return std::nullopt;
  return refused("date-range", lineno, key,
                 "date " + quorlane::format_dotted_date(date) + " is beyond the range of a date32 column");
}

std::optional<Refusal> amount_refusal(const Amount& amount, unsigned scale, std::uint64_t lineno,
                                      std::string_view key) {
  if (quorlane::scaled_amount(amount, scale)) return std::nullopt;
  const std::string column = "the scale " + std::to_string(scale) + " of its column";
  const std::string text = "amount " + quorlane::format_amount(amount);
  if (amount.scale > scale && quorlane::scaled_amount(amount, amount.scale)) {
    return refused("amount-scale", lineno, key, text + " has more fractional digits than " + column);
  }
  return refused("amount-digits", lineno, key,
                 text + " takes more than " + std::to_string(quorlane::kMaxScaledDigits) + " digits at " + column);
}

Refusal too_long(std::uint64_t lineno, std::string_view key, std::size_t limit) {
  return refused("text-size", lineno, key,
                 "the text takes more than the " + std::to_string(limit) + " bytes a column of one batch holds");
}

// Keeps the refusal of the earlier line.
void keep_first(std::optional<Refusal>& first, std::optional<Refusal> candidate) {
  if (candidate && (!first || candidate->lineno < first->lineno)) first = std::move(candidate);
}

// ---- values into columns ----

// Each returns the bytes of text it added, and sets `beyond` for a date that date32 cannot hold (written as
// some other day: the table is refused anyway).
std::size_t put(ColumnBuilder& column, std::string_view text, Encoding encoding, bool&) {
  return column.text(text, encoding);
}

std::size_t put(ColumnBuilder& column, const OptionalText& text, Encoding encoding, bool&) {
  if (text.has_value()) return column.text(text.value(), encoding);
  column.null();
  return 0;
}

std::size_t put(ColumnBuilder& column, const Date& date, Encoding, bool& beyond) {
  const std::int64_t days = quorlane::days_since_epoch(date);
  beyond |= days < std::numeric_limits<std::int32_t>::min() || days > std::numeric_limits<std::int32_t>::max();
  column.value(static_cast<std::int32_t>(days));
  return 0;
}

std::size_t put(ColumnBuilder& column, const Amount& amount, Encoding, bool&) {
  column.value(amount);  // scaled at the end
  return 0;
}

template <class T>
std::size_t put(ColumnBuilder& column, const std::optional<T>& value, Encoding encoding, bool& beyond) {
  if (value) return put(column, *value, encoding, beyond);
  column.null();
  return 0;
}

std::optional<Refusal> date_check(const Date& date, std::uint64_t lineno, std::string_view key) {
  return date_refusal(date, lineno, key);
}
std::optional<Refusal> date_check(const std::optional<Date>& date, std::uint64_t lineno, std::string_view key) {
  return date ? date_refusal(*date, lineno, key) : std::nullopt;
}
template <class T>
std::optional<Refusal> date_check(const T&, std::uint64_t, std::string_view) {
  return std::nullopt;
}

// Scales a column of read amounts in place; the first that its column cannot hold, by its row's line.
std::optional<Refusal> scale_amounts(ArrowColumn& column, const ArrowColumn& lines, unsigned scale,
                                     std::string_view key) {
  const auto rows = column.values.size() / sizeof(Amount);
  char* values = column.values.bytes();
  const auto* valid = reinterpret_cast<const unsigned char*>(column.validity.data());
  for (std::size_t row = 0; row < rows; ++row) {
    if (column.null_count != 0 && (valid[row >> 3] >> (row & 7) & 1) == 0) continue;
    Amount amount;
    std::memcpy(&amount, values + row * sizeof(Amount), sizeof(Amount));
    const std::optional<quorlane::ScaledAmount> scaled = quorlane::scaled_amount(amount, scale);
    if (!scaled) {
      std::int64_t lineno = 0;
      std::memcpy(&lineno, static_cast<const char*>(lines.values.data()) + row * sizeof(lineno), sizeof(lineno));
      return amount_refusal(amount, scale, static_cast<std::uint64_t>(lineno), key);
    }
    std::memcpy(values + row * sizeof(Amount), &*scaled, sizeof(Amount));
  }
  return std::nullopt;
}

// The text of row `row` of a finished text column.
std::string_view text_at(const ArrowColumn& column, std::size_t row) noexcept {
  const auto* offsets = static_cast<const std::int32_t*>(column.values.data());
  return {static_cast<const char*>(column.text.data()) + offsets[row],
          static_cast<std::size_t>(offsets[row + 1] - offsets[row])};
}

// The account a document belongs to: the statement's one account; of several, the one the document pays from,
// else the one it pays into; without account sections, the header's account. No data when none is.
class AccountOf {
 public:
  explicit AccountOf(const quorlane::ReaderResult& reading) {
    for (const quorlane::Account& account : reading.accounts) numbers_.push_back(account.number);
    if (numbers_.empty()) {
      if (const std::string_view* header = reading.header.find(quorlane::kAccountNumberKey)) only_ = *header;
    } else if (numbers_.size() == 1) {
      only_ = numbers_[0];
    }
  }

  // From the document's payer's and payee's accounts, as UTF-8.
  std::string_view operator()(std::string_view payer, std::string_view payee) const noexcept {
    if (only_.data() != nullptr || numbers_.empty()) return only_;
    for (std::string_view side : {payer, payee}) {
      for (std::string_view number : numbers_) {
        if (side == number) return number;
      }
    }
    return {};
  }

 private:
  std::vector<std::string_view> numbers_;
  std::string_view only_;
};

bool is_field_key(std::string_view key) noexcept {
  return std::any_of(quorlane::kDocumentFields.begin(), quorlane::kDocumentFields.end(),
                     [&](const quorlane::DocumentField& field) { return field.key == key; });
}

constexpr std::size_t kFieldCount = quorlane::kDocumentFieldCount;
constexpr std::size_t kLineColumn = 0;   // of the columns made while reading: the line, the fields, the keys
constexpr std::size_t kFirstField = 1;
constexpr std::size_t kFirstKey = kFirstField + kFieldCount;
constexpr std::size_t kAmountColumn = kFirstField + quorlane::document_field_index::amount;
constexpr std::size_t kPayerColumn = kFirstField + quorlane::document_field_index::counterparty_account;
constexpr std::size_t kPayeeColumn = kFirstField + quorlane::document_field_index::payee_account;

// A row of the stream takes about this many bytes of the statement; the columns reserve room for that many rows.
constexpr std::size_t kBytesPerRowGuess = 1024;

}  // namespace

struct TableBuilder::State {
  std::vector<Type> types;           // of the columns made while reading
  std::vector<std::string> keys;     // the names of the key columns
  std::vector<std::ptrdiff_t> key_column;  // for each attribute of the sections: its key's column, or -1
  std::optional<Refusal> early;      // a refusal known before the reading (a key named like a column)

  std::vector<ColumnBuilder> columns;  // of the batch being made
  std::vector<std::vector<ArrowColumn>> batches;  // the batches made
  std::size_t batch_bytes = 0;       // what all the texts of the batch take, those made at the end counted in
  std::size_t next_section = 0;      // the section after the last one a row was matched to
  unsigned finest_scale = kLeastScale;
  std::optional<Refusal> refusal;    // the value that stopped the rows (the rows before it are kept)
  std::vector<std::string_view> row_keys;  // the values of the keys in the row being made

  // A batch of about `rows` rows, whose text columns can take up to `text_bytes` bytes each.
  void open_batch(std::size_t rows, std::size_t text_bytes) {
    columns.clear();
    columns.reserve(types.size());
    for (Type type : types) columns.emplace_back(width_of(type), rows, text_bytes);
    batch_bytes = 0;
  }

  void close_batch() {
    std::vector<ArrowColumn> finished;
    finished.reserve(columns.size());
    for (ColumnBuilder& column : columns) finished.push_back(column.finish());
    batches.push_back(std::move(finished));
  }
};

TableBuilder::TableBuilder(const TableOptions& options, const quorlane::StatementSections* sections,
                           std::size_t input_size)
    : options_(options),
      sections_(sections),
      rows_hint_(input_size / kBytesPerRowGuess + 16),
      // No column's texts take more than the whole statement as UTF-8; the batch limit caps them too.
      text_room_(std::min(quorlane::utf8_room(input_size), options.batch_bytes + quorlane::utf8_room(0))),
      state_(std::make_unique<State>()) {
  State& state = *state_;
  state.types.push_back(Type::Line);
  for (const quorlane::DocumentField& field : quorlane::kDocumentFields) state.types.push_back(type_of(field.kind));
  state.keys = options.keys;
  if (sections != nullptr) {
    // Every key of the document sections, once: its column (found for keys asked for, made for every key
    // outside the fields when all are asked for), or -1.
    std::unordered_map<std::string, std::size_t> by_name;
    for (std::size_t i = 0; i < state.keys.size(); ++i) by_name.emplace(state.keys[i], i);
    std::unordered_map<std::string_view, std::ptrdiff_t> by_written;
    state.key_column.assign(sections->attributes.size(), -1);
    const std::vector<std::string> own = {"file", "account", "lineno"};
    for (const quorlane::SectionSpan& span : sections->sections) {
      if (span.kind != quorlane::SectionKind::Document) continue;
      for (std::size_t a = span.first_attribute; a < span.first_attribute + span.attribute_count; ++a) {
        const std::string_view written = sections->attributes[a].key_text();
        auto found = by_written.find(written);
        if (found == by_written.end()) {
          std::string key = quorlane::to_utf8(written, sections->text_encoding);
          std::ptrdiff_t column = -1;
          if (auto named = by_name.find(key); named != by_name.end()) {
            column = static_cast<std::ptrdiff_t>(named->second);
          } else if (options.all_keys && !is_field_key(key)) {
            const bool taken = std::find(own.begin(), own.end(), key) != own.end() ||
                               quorlane::document_field_of_attribute(key) >= 0;
            if (taken) {
              keep_first(state.early, refused("column-name", span.end_line, key,
                                              "the key has the name of one of the table's own columns"));
            } else if (!is_arrow_name(key)) {
              keep_first(state.early, refused("column-name", span.end_line, key,
                                              "the key holds NUL, which no column's name can"));
            } else {
              column = static_cast<std::ptrdiff_t>(state.keys.size());
              by_name.emplace(key, state.keys.size());
              state.keys.push_back(std::move(key));
            }
          }
          found = by_written.emplace(written, column).first;
        }
        state.key_column[a] = found->second;
      }
    }
  }
  state.types.insert(state.types.end(), state.keys.size(), Type::Text);
  state.row_keys.resize(state.keys.size());
}

TableBuilder::~TableBuilder() = default;

void TableBuilder::start() {
  State& state = *state_;
  state.batches.clear();
  state.next_section = 0;
  state.finest_scale = kLeastScale;
  state.refusal.reset();
  state.open_batch(rows_hint_, text_room_);
}

void TableBuilder::take(const DocumentRecord& record) {
  State& state = *state_;
  if (state.refusal) return;  // the table is refused: the rest of the reading only has to end well

  // The values of the keys asked for: those of the row's own section, the last of a key kept.
  const bool with_keys = !state.keys.empty() && sections_ != nullptr;
  if (with_keys) {
    const auto& spans = sections_->sections;
    while (state.next_section < spans.size() && (spans[state.next_section].kind != quorlane::SectionKind::Document ||
                                                 spans[state.next_section].end_line != record.lineno)) {
      ++state.next_section;
    }
    std::fill(state.row_keys.begin(), state.row_keys.end(), std::string_view());
    if (state.next_section < spans.size()) {
      const quorlane::SectionSpan& span = spans[state.next_section++];
      for (std::size_t a = span.first_attribute; a < span.first_attribute + span.attribute_count; ++a) {
        const std::ptrdiff_t column = state.key_column[a];
        if (column >= 0) state.row_keys[static_cast<std::size_t>(column)] = sections_->attributes[a].value_text();
      }
    }
  }

  bool beyond = false;
  const std::size_t written = append(record, beyond);
  if (beyond) {  // a date beyond date32 refuses the table; the rows before it are kept, to find an earlier refusal
    each_field(record, [&](int field, const auto& value) {
      if (!state.refusal) state.refusal = date_check(value, record.lineno, quorlane::kDocumentFields[field].key);
    });
    return;
  }
  // The file's name and the account, added at the end, counted now: the account at its usual size or more.
  constexpr std::size_t kAccountBytes = 64;
  state.batch_bytes += written + (options_.file ? options_.file->size() : 0) + kAccountBytes;
  if (state.batch_bytes > options_.batch_bytes) keep_within_batch(record);
}

std::size_t TableBuilder::append(const DocumentRecord& record, bool& beyond) {
  State& state = *state_;
  const Encoding encoding = record.text_encoding;
  std::vector<ColumnBuilder>& columns = state.columns;
  std::size_t written = 0;
  columns[kLineColumn].value(static_cast<std::int64_t>(record.lineno));
  std::size_t c = kFirstField;
  each_field(record, [&](int, const auto& value) { written += put(columns[c++], value, encoding, beyond); });
  state.finest_scale = std::max<unsigned>(state.finest_scale, record.amount.scale);
  const Encoding key_encoding = sections_ != nullptr ? sections_->text_encoding : Encoding::Utf8;
  for (std::string_view value : state.row_keys) {
    if (value.data() != nullptr) {
      written += columns[c++].text(value, key_encoding);
    } else {
      columns[c++].null();
    }
  }
  return written;
}

// Only a batch of gigabytes gets here: all its texts together take more than one column may. When one column
// does, the row goes to a new batch, or, alone in its batch, refuses the table.
void TableBuilder::keep_within_batch(const DocumentRecord& record) {
  State& state = *state_;
  const std::size_t limit = options_.batch_bytes;
  const auto over = [&]() -> std::optional<std::size_t> {
    for (std::size_t c = 0; c < state.columns.size(); ++c) {
      if (state.columns[c].text_size() > limit) return c;
    }
    return std::nullopt;
  };
  const auto key_of = [&](std::size_t c) -> std::string_view {
    return c >= kFirstKey ? std::string_view(state.keys[c - kFirstKey]) : quorlane::kDocumentFields[c - kFirstField].key;
  };
  std::optional<std::size_t> column = over();
  if (column && state.columns[kLineColumn].length() > 1) {
    for (ColumnBuilder& builder : state.columns) builder.pop();
    state.close_batch();
    state.open_batch(rows_hint_, text_room_);
    bool beyond = false;  // found on the first try
    state.batch_bytes = append(record, beyond);
    column = over();
  }
  if (column) state.refusal = too_long(record.lineno, key_of(*column), limit);
}

namespace {

// The column of each kind of interval value.
template <class T>
struct ColumnOf;
template <>
struct ColumnOf<Date> {
  static constexpr Type type = Type::Date;
  static constexpr bool nullable = false;
};
template <>
struct ColumnOf<std::optional<Date>> {
  static constexpr Type type = Type::Date;
  static constexpr bool nullable = true;
};
template <>
struct ColumnOf<Amount> {
  static constexpr Type type = Type::Decimal;
  static constexpr bool nullable = false;
};
template <>
struct ColumnOf<std::optional<Amount>> {
  static constexpr Type type = Type::Decimal;
  static constexpr bool nullable = true;
};

void widen_scale(unsigned& scale, const Amount& amount) noexcept { scale = std::max<unsigned>(scale, amount.scale); }
void widen_scale(unsigned& scale, const std::optional<Amount>& amount) noexcept {
  if (amount) widen_scale(scale, *amount);
}
template <class T>
void widen_scale(unsigned&, const T&) noexcept {}

std::optional<Refusal> value_refusal(const Date& date, unsigned, std::uint64_t lineno, std::string_view key) {
  return date_refusal(date, lineno, key);
}
std::optional<Refusal> value_refusal(const Amount& amount, unsigned scale, std::uint64_t lineno, std::string_view key) {
  return amount_refusal(amount, scale, lineno, key);
}
template <class T>
std::optional<Refusal> value_refusal(const std::optional<T>& value, unsigned scale, std::uint64_t lineno,
                                     std::string_view key) {
  return value ? value_refusal(*value, scale, lineno, key) : std::nullopt;
}

std::optional<Refusal> interval_refusal(const quorlane::ReaderResult& reading, unsigned scale) {
  std::optional<Refusal> first;
  for (const quorlane::Account& account : reading.accounts) {
    for (const quorlane::Interval& interval : account.intervals) {
      each_value(interval, [&](int field, const auto& value) {
        keep_first(first, value_refusal(value, scale, interval.lineno, quorlane::kIntervalFields[field].key));
      });
    }
  }
  return first;
}

void put_interval_value(ColumnBuilder& column, const Date& date, unsigned) {
  bool beyond = false;  // checked before
  put(column, date, Encoding::Utf8, beyond);
}
void put_interval_value(ColumnBuilder& column, const Amount& amount, unsigned scale) {
  column.value(*quorlane::scaled_amount(amount, scale));  // checked to fit
}
template <class T>
void put_interval_value(ColumnBuilder& column, const std::optional<T>& value, unsigned scale) {
  value ? put_interval_value(column, *value, scale) : column.null();
}

quorlane::Result<ArrowTable, Refusal> intervals_table(const quorlane::ReaderResult& reading,
                                                      const TableOptions& options, unsigned scale) {
  ArrowTable table;
  std::vector<Type> types;
  const auto add = [&](std::string name, Type type, bool nullable) {
    table.fields.push_back(field_of(std::move(name), type, nullable, scale));
    types.push_back(type);
  };
  if (options.file) add("file", Type::Text, false);
  add("account", Type::Text, false);
  add("lineno", Type::Line, false);
  each_value(quorlane::Interval(), [&](int field, const auto& value) {
    using Column = ColumnOf<std::decay_t<decltype(value)>>;
    add(std::string(quorlane::kIntervalFields[field].attribute), Column::type, Column::nullable);
  });
  std::vector<ColumnBuilder> columns;
  const auto open = [&] {
    columns.clear();
    for (Type type : types) columns.emplace_back(width_of(type), 16);
  };
  const auto close = [&] {
    ArrowBatch batch;
    batch.length = columns[0].length();
    for (ColumnBuilder& column : columns) batch.columns.push_back(column.finish());
    table.batches.push_back(std::move(batch));
  };
  open();
  const std::size_t file_size = options.file ? options.file->size() : 0;
  const std::size_t account_column = options.file ? 1 : 0;
  for (const quorlane::Account& account : reading.accounts) {
    for (const quorlane::Interval& interval : account.intervals) {
      // The file's and the account's columns, each within what a batch holds: cut before the row that would
      // take one past it (an account number alone past it is refused).
      if (account.number.size() > options.batch_bytes) {
        return Err(too_long(interval.lineno, quorlane::kAccountNumberKey, options.batch_bytes));
      }
      const bool over = columns[account_column].text_size() + account.number.size() > options.batch_bytes ||
                        (options.file && columns[0].text_size() + file_size > options.batch_bytes);
      if (over && columns[0].length() > 0) {
        close();
        open();
      }
      std::size_t c = 0;
      if (options.file) columns[c++].text(*options.file, Encoding::Utf8);
      columns[c++].text(account.number, Encoding::Utf8);
      columns[c++].value(static_cast<std::int64_t>(interval.lineno));
      each_value(interval, [&](int, const auto& value) { put_interval_value(columns[c++], value, scale); });
    }
  }
  close();
  return table;
}

std::int64_t line_at(const ArrowColumn& lines, std::size_t row) noexcept {
  std::int64_t lineno = 0;
  std::memcpy(&lineno, static_cast<const char*>(lines.values.data()) + row * sizeof(lineno), sizeof(lineno));
  return lineno;
}

}  // namespace

quorlane::Result<StatementTables, Refusal> TableBuilder::finish(const quorlane::ReaderResult& reading) {
  State& state = *state_;
  state.close_batch();
  unsigned scale = kLeastScale;
  if (options_.scale) {
    scale = *options_.scale;
  } else {
    scale = state.finest_scale;
    for (const quorlane::Account& account : reading.accounts) {
      for (const quorlane::Interval& interval : account.intervals) {
        each_value(interval, [&](int, const auto& value) { widen_scale(scale, value); });
      }
    }
  }
  std::optional<Refusal> refusal = std::move(state.refusal);
  keep_first(refusal, std::move(state.early));
  keep_first(refusal, interval_refusal(reading, scale));
  for (std::vector<ArrowColumn>& batch : state.batches) {
    keep_first(refusal, scale_amounts(batch[kAmountColumn], batch[kLineColumn], scale,
                                      quorlane::kDocumentFields[quorlane::document_field_index::amount].key));
  }
  if (refusal) return Err(std::move(*refusal));

  StatementTables tables;
  ArrowTable& documents = tables.documents;
  if (options_.file) documents.fields.push_back(field_of("file", Type::Text, false, scale));
  documents.fields.push_back(field_of("account", Type::Text, true, scale));
  documents.fields.push_back(field_of("lineno", Type::Line, false, scale));
  // The fields in quorlane_py.Document's attribute order, as to_dict and CSV give them; the columns were made in
  // the core table's.
  for (const int f : quorlane::kDocumentColumns) {
    const quorlane::DocumentField& field = quorlane::kDocumentFields[f];
    documents.fields.push_back(
        field_of(std::string(field.attribute), type_of(field.kind), !quorlane::is_required(field.kind), scale));
  }
  for (const std::string& key : state.keys) documents.fields.push_back(field_of(key, Type::Text, true, scale));

  const AccountOf account_of(reading);
  const std::size_t limit = options_.batch_bytes;
  const std::size_t file_size = options_.file ? options_.file->size() : 0;
  for (std::vector<ArrowColumn>& made : state.batches) {
    const auto rows = static_cast<std::size_t>(made[kLineColumn].values.size() / sizeof(std::int64_t));
    std::vector<std::string_view> accounts(rows);
    for (std::size_t row = 0; row < rows; ++row) {
      accounts[row] = account_of(text_at(made[kPayerColumn], row), text_at(made[kPayeeColumn], row));
    }
    // The file's and the account's columns, made now, hold no more than a batch may either: the rows read as
    // one batch are cut where one of them would pass it (the file's name is known to fit once).
    for (std::size_t begin = 0; begin < rows;) {
      std::size_t end = begin;
      std::size_t account_bytes = 0;
      while (end < rows && account_bytes + accounts[end].size() <= limit && (end - begin + 1) * file_size <= limit) {
        account_bytes += accounts[end].size();
        ++end;
      }
      if (end == begin) {  // an account number alone takes more than a column of one batch holds
        return Err(too_long(static_cast<std::uint64_t>(line_at(made[kLineColumn], begin)),
                            quorlane::kAccountNumberKey, limit));
      }
      const bool whole = begin == 0 && end == rows;
      const auto column = [&](std::size_t c) {
        return whole ? std::move(made[c]) : rows_of(made[c], width_of(state.types[c]), begin, end);
      };
      ArrowBatch batch;
      batch.length = static_cast<std::int64_t>(end - begin);
      batch.columns.reserve(documents.fields.size());
      if (options_.file) {
        ColumnBuilder file(0, end - begin, (end - begin) * file_size);
        for (std::size_t row = begin; row < end; ++row) file.text(*options_.file, Encoding::Utf8);
        batch.columns.push_back(file.finish());
      }
      ColumnBuilder account(0, end - begin, account_bytes);
      for (std::size_t row = begin; row < end; ++row) {
        if (accounts[row].data() != nullptr) {
          account.text(accounts[row], Encoding::Utf8);
        } else {
          account.null();
        }
      }
      batch.columns.push_back(account.finish());
      batch.columns.push_back(column(kLineColumn));
      for (const int f : quorlane::kDocumentColumns) batch.columns.push_back(column(kFirstField + f));
      for (std::size_t c = kFirstKey; c < made.size(); ++c) batch.columns.push_back(column(c));
      documents.batches.push_back(std::move(batch));
      begin = end;
    }
  }
  state.batches.clear();
  auto intervals = intervals_table(reading, options_, scale);
  if (!intervals) return Err(std::move(intervals).error());
  tables.intervals = std::move(intervals).value();
  return tables;
}

}  // namespace quorlane_accel

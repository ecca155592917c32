// The documents table grows a row at a time while the core reads: the section's line, the record's values and
// the keys asked for, each checked against its column as it comes (a date beyond date32, a text beyond what a
// batch holds). A key column asked for with every key is made when its key first turns up, its earlier rows
// null. What needs the whole reading is done at the end: the amounts, kept as read until the scale of their
// column is known, are scaled in place; the account and file columns are added; the intervals table is made
// from the accounts.
#include "quorlane/statement_tables.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>

#include "column_builder.h"
#include "quorlane/document_fields.h"
#include "quorlane/parse.h"
#include "quorlane/records.h"
#include "quorlane/sections.h"
#include "quorlane/utf8.h"
#include "quorlane/values.h"

namespace quorlane {
namespace {

// Amounts are written in roubles and kopecks: a column has at least two fractional digits, so that statements
// whose amounts are all whole share the type of the others.
constexpr unsigned kLeastScale = 2;

// A row holds the read amount until its column's scale is known, then the scaled one, in the same 16 bytes.
static_assert(sizeof(Amount) == sizeof(ScaledAmount) && std::is_trivially_copyable_v<Amount>);

enum class Type { Text, Date, Decimal, Line };

constexpr std::size_t width_of(Type type) noexcept {
  switch (type) {
    case Type::Text: return 0;
    case Type::Date: return sizeof(std::int32_t);
    case Type::Decimal: return sizeof(ScaledAmount);
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
      format = "d:" + std::to_string(kMaxScaledDigits) + "," + std::to_string(scale);  // decimal128
      break;
    case Type::Line: format = "l"; break;
  }
  return ArrowField{std::move(name), std::move(format), nullable};
}

constexpr Type type_of(FieldKind kind) noexcept {
  switch (kind) {
    case FieldKind::Text:
    case FieldKind::OptionalText: return Type::Text;
    case FieldKind::Date:
    case FieldKind::OptionalDate: return Type::Date;
    case FieldKind::Amount:
    case FieldKind::OptionalAmount: return Type::Decimal;
  }
  return Type::Text;
}

// Calls visit(field index, value) for each field of the record, in the table's order.
template <class Visit>
void each_field(const DocumentRecord& record, Visit&& visit) {
#define QUORLANE_VISIT(attribute, key, kind) visit(document_field_index::attribute, record.attribute);
  QUORLANE_DOCUMENT_FIELDS(QUORLANE_VISIT)
#undef QUORLANE_VISIT
}

// Calls visit(index in kIntervalFields, value) for each of an interval's values.
template <class Visit>
void each_value(const Interval& interval, Visit&& visit) {
#define QUORLANE_VISIT(attribute, key, kind) visit(interval_field::attribute, interval.attribute);
  QUORLANE_INTERVAL_FIELDS(QUORLANE_VISIT)
#undef QUORLANE_VISIT
}

// ---- what a column cannot hold ----

// Where a value of `key` starts: on its line (the section's closing line where it is not known), after "key=".
struct Place {
  std::uint64_t lineno;
  std::size_t column;
};

Place value_place(std::uint64_t line, std::uint64_t section_line, std::string_view key) {
  if (line == 0) return Place{section_line, 0};
  return Place{line, utf8_characters(key) + 2};
}

Refusal refused(std::string code, Place place, std::string_view key, std::string message) {
  return Refusal{std::move(code), place.lineno, place.column, std::string(key), std::move(message)};
}

// Whether a date, in days since 1970-01-01, is one a date32 column holds.
bool fits_date32(std::int64_t days) noexcept {
  return days >= std::numeric_limits<std::int32_t>::min() && days <= std::numeric_limits<std::int32_t>::max();
}

std::optional<Refusal> date_refusal(const Date& date, Place place, std::string_view key) {
  if (fits_date32(days_since_epoch(date))) return std::nullopt;
  return refused("date-range", place, key, "date " + format_dotted_date(date) + " is beyond the range of a date32 column");
}

std::optional<Refusal> amount_refusal(const Amount& amount, unsigned scale, Place place, std::string_view key) {
  if (scaled_amount(amount, scale)) return std::nullopt;
  const std::string column = "the scale " + std::to_string(scale) + " of its column";
  const std::string text = "amount " + format_amount(amount);
  if (amount.scale > scale && scaled_amount(amount, amount.scale)) {
    return refused("amount-scale", place, key, text + " has more fractional digits than " + column);
  }
  return refused("amount-digits", place, key,
                 text + " takes more than " + std::to_string(kMaxScaledDigits) + " digits at " + column);
}

Refusal too_long(Place place, std::string_view key, std::size_t limit) {
  return refused("text-size", place, key,
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
  const std::int64_t days = days_since_epoch(date);
  beyond |= !fits_date32(days);
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

std::optional<Refusal> date_check(const Date& date, Place place, std::string_view key) {
  return date_refusal(date, place, key);
}
std::optional<Refusal> date_check(const std::optional<Date>& date, Place place, std::string_view key) {
  return date ? date_refusal(*date, place, key) : std::nullopt;
}
template <class T>
std::optional<Refusal> date_check(const T&, Place, std::string_view) {
  return std::nullopt;
}

// Scales a column of read amounts in place; the first that its column cannot hold, placed by its row's line.
std::optional<Refusal> scale_amounts(ArrowColumn& column, const std::vector<Place>& places, unsigned scale,
                                     std::string_view key) {
  const auto rows = column.values.size() / sizeof(Amount);
  char* values = column.values.bytes();
  const auto* valid = reinterpret_cast<const unsigned char*>(column.validity.data());
  for (std::size_t row = 0; row < rows; ++row) {
    if (column.null_count != 0 && (valid[row >> 3] >> (row & 7) & 1) == 0) continue;
    Amount amount;
    std::memcpy(&amount, values + row * sizeof(Amount), sizeof(Amount));
    const std::optional<ScaledAmount> scaled = scaled_amount(amount, scale);
    if (!scaled) return amount_refusal(amount, scale, places[row], key);
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

std::int64_t line_at(const ArrowColumn& lines, std::size_t row) noexcept {
  std::int64_t lineno = 0;
  std::memcpy(&lineno, static_cast<const char*>(lines.values.data()) + row * sizeof(lineno), sizeof(lineno));
  return lineno;
}

// The account a document belongs to: the statement's one account; of several, the one the document pays from,
// else the one it pays into; without account sections, the header's account. No data when none is.
class AccountOf {
 public:
  explicit AccountOf(const ReaderResult& reading) {
    for (const Account& account : reading.accounts) numbers_.push_back(account.number);
    if (numbers_.empty()) {
      if (const std::string_view* header = reading.header.find(kAccountNumberKey)) only_ = *header;
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
  return std::any_of(kDocumentFields.begin(), kDocumentFields.end(),
                     [&](const DocumentField& field) { return field.key == key; });
}

// The names of the table's own columns, which no key column may take.
bool is_own_column(std::string_view name) noexcept {
  return name == "file" || name == "account" || name == "lineno" || document_field_of_attribute(name) >= 0;
}

constexpr std::string_view kKeyColumnPrefix = "key:";

constexpr std::size_t kFieldCount = kDocumentFieldCount;
constexpr std::size_t kLineColumn = 0;  // of the columns made while reading: the line, the fields, the keys
constexpr std::size_t kFirstField = 1;
constexpr std::size_t kFirstKey = kFirstField + kFieldCount;
constexpr std::size_t kAmountColumn = kFirstField + document_field_index::amount;
constexpr std::size_t kPayerColumn = kFirstField + document_field_index::counterparty_account;
constexpr std::size_t kPayeeColumn = kFirstField + document_field_index::payee_account;

// A row of the stream takes about this many bytes of the statement; the columns reserve room for that many rows.
constexpr std::size_t kBytesPerRowGuess = 1024;

void widen_scale(unsigned& scale, const Amount& amount) noexcept { scale = std::max<unsigned>(scale, amount.scale); }
void widen_scale(unsigned& scale, const std::optional<Amount>& amount) noexcept {
  if (amount) widen_scale(scale, *amount);
}
template <class T>
void widen_scale(unsigned&, const T&) noexcept {}

std::optional<Refusal> value_refusal(const Date& date, unsigned, Place place, std::string_view key) {
  return date_refusal(date, place, key);
}
std::optional<Refusal> value_refusal(const Amount& amount, unsigned scale, Place place, std::string_view key) {
  return amount_refusal(amount, scale, place, key);
}
template <class T>
std::optional<Refusal> value_refusal(const std::optional<T>& value, unsigned scale, Place place, std::string_view key) {
  return value ? value_refusal(*value, scale, place, key) : std::nullopt;
}

void put_interval_value(ColumnBuilder& column, const Date& date, unsigned) {
  bool beyond = false;  // checked before
  put(column, date, Encoding::Utf8, beyond);
}
void put_interval_value(ColumnBuilder& column, const Amount& amount, unsigned scale) {
  column.value(*scaled_amount(amount, scale));  // checked to fit
}
template <class T>
void put_interval_value(ColumnBuilder& column, const std::optional<T>& value, unsigned scale) {
  value ? put_interval_value(column, *value, scale) : column.null();
}

// Takes the documents of a reading as the core hands them and makes the tables once the reading is done. Its
// texts are copied once, from the statement's text into the columns.
class TableBuilder final : public DocumentSink {
 public:
  // `input_size`, of the statement in bytes or code points, only sizes what is reserved.
  TableBuilder(const TableOptions& options, std::size_t input_size)
      : options_(options),
        rows_hint_(input_size / kBytesPerRowGuess + 16),
        // No column's texts take more than the whole statement as UTF-8; the batch limit caps them too.
        text_room_(std::min(utf8_room(input_size), options.batch_bytes + utf8_room(0))) {}

  void start(const StatementSections* sections) override {
    sections_ = sections;
    keys_ = options_.keys;
    types_.assign(1, Type::Line);
    for (const DocumentField& field : kDocumentFields) types_.push_back(type_of(field.kind));
    types_.insert(types_.end(), keys_.size(), Type::Text);
    by_written_.clear();
    early_.reset();
    batches_.clear();
    next_section_ = 0;
    finest_scale_ = kLeastScale;
    refusal_.reset();
    interval_lines_.clear();
    open_batch();
  }

  void take(const DocumentRecord& record, const FieldLines& lines) override;

  void take_interval_lines(std::uint64_t lineno, const IntervalLines& lines) override {
    interval_lines_[lineno] = lines;
  }

  // After a successful reading: the tables, or the first value (by its line) that no column can hold.
  Tables finish(ReaderResult& reading);

 private:
  struct Batch {
    std::vector<ArrowColumn> columns;
    std::vector<Place> amount_places;
  };

  void open_batch() {
    columns_.clear();
    columns_.reserve(types_.size());
    for (Type type : types_) columns_.emplace_back(width_of(type), rows_hint_, text_room_);
    amount_places_.clear();
    batch_bytes_ = 0;
  }

  void close_batch() {
    Batch batch;
    batch.columns.reserve(columns_.size());
    for (ColumnBuilder& column : columns_) batch.columns.push_back(column.finish());
    batch.amount_places = std::move(amount_places_);
    batches_.push_back(std::move(batch));
  }

  // The column of a key as the section writes it: found for keys asked for, made for every key outside the
  // fields when all are asked for; -1 for none.
  std::ptrdiff_t column_of(const AttributeSpan& attribute);
  void fill_row_keys(const DocumentRecord& record);
  // Adds the record's row to the batch; the bytes of text it took. Sets `beyond` for a date beyond date32.
  std::size_t append(const DocumentRecord& record, const FieldLines& lines, bool& beyond);
  void keep_within_batch(const DocumentRecord& record, const FieldLines& lines);
  Place field_place(const DocumentRecord& record, const FieldLines& lines, int field) const {
    return value_place(lines[static_cast<std::size_t>(field)], record.lineno, kDocumentFields[field].key);
  }
  Result<ArrowTable, Refusal> intervals_table(const ReaderResult& reading, unsigned scale) const;
  std::optional<Refusal> interval_refusal(const ReaderResult& reading, unsigned scale) const;

  const TableOptions& options_;
  const std::size_t rows_hint_;
  const std::size_t text_room_;
  const StatementSections* sections_ = nullptr;  // collected by the reading, when keys are asked for
  std::vector<std::string> keys_;                // the names of the key columns
  std::vector<Type> types_;                      // of the columns made while reading
  std::unordered_map<std::string_view, std::ptrdiff_t> by_written_;  // a key as written: its column, or -1
  std::optional<Refusal> early_;                 // a key that cannot name a column
  std::vector<ColumnBuilder> columns_;           // of the batch being made
  std::vector<Place> amount_places_;             // of the batch being made: each row's amount
  std::vector<Batch> batches_;                   // the batches made
  std::size_t batch_bytes_ = 0;   // what all the texts of the batch take, those made at the end counted in
  std::size_t next_section_ = 0;  // the section after the last one a row was matched to
  unsigned finest_scale_ = kLeastScale;
  std::optional<Refusal> refusal_;  // the value that stopped the rows (the rows before it are kept)
  std::vector<std::string_view> row_keys_;   // the values of the keys in the row being made
  std::vector<std::uint64_t> row_key_lines_;  // and their lines
  std::unordered_map<std::uint64_t, IntervalLines> interval_lines_;  // by the account section's closing line
};

std::ptrdiff_t TableBuilder::column_of(const AttributeSpan& attribute) {
  const std::string_view written = attribute.key_text();
  if (auto found = by_written_.find(written); found != by_written_.end()) return found->second;
  std::string key = to_utf8(written, sections_->text_encoding);
  std::ptrdiff_t column = -1;
  const auto named = std::find(keys_.begin(), keys_.end(), key);
  if (named != keys_.end()) {
    column = named - keys_.begin();
  } else if (options_.all_keys && !is_field_key(key)) {
    const Place place = value_place(attribute.lineno, attribute.lineno, key);
    if (!is_arrow_name(key)) {
      keep_first(early_, refused("column-name", place, key, "the key holds NUL, which no column's name can"));
    } else {
      // A column for the new key, null in the rows before: those of this batch now, of earlier ones at the end.
      column = static_cast<std::ptrdiff_t>(keys_.size());
      keys_.push_back(std::move(key));
      types_.push_back(Type::Text);
      ColumnBuilder& made = columns_.emplace_back(0, rows_hint_, 0);
      for (std::int64_t row = 0; row < columns_[kLineColumn].length(); ++row) made.null();
    }
  }
  by_written_.emplace(written, column);
  return column;
}

// The values of the keys asked for: those of the row's own section, the last of a key kept.
void TableBuilder::fill_row_keys(const DocumentRecord& record) {
  const auto& spans = sections_->sections;
  while (next_section_ < spans.size() &&
         (spans[next_section_].kind != SectionKind::Document || spans[next_section_].end_line != record.lineno)) {
    ++next_section_;
  }
  row_keys_.assign(keys_.size(), std::string_view());
  row_key_lines_.assign(keys_.size(), 0);
  if (next_section_ == spans.size()) return;
  const SectionSpan& span = spans[next_section_++];
  for (std::size_t a = span.first_attribute; a < span.first_attribute + span.attribute_count; ++a) {
    const AttributeSpan& attribute = sections_->attributes[a];
    const std::ptrdiff_t column = column_of(attribute);
    if (column < 0) continue;
    const auto c = static_cast<std::size_t>(column);
    if (c >= row_keys_.size()) {
      row_keys_.resize(c + 1);
      row_key_lines_.resize(c + 1);
    }
    row_keys_[c] = attribute.value_text();
    row_key_lines_[c] = attribute.lineno;
  }
}

void TableBuilder::take(const DocumentRecord& record, const FieldLines& lines) {
  if (refusal_) return;  // the table is refused: the rest of the reading only has to end well
  if (sections_ != nullptr && (options_.all_keys || !keys_.empty())) fill_row_keys(record);

  bool beyond = false;
  const std::size_t written = append(record, lines, beyond);
  if (beyond) {  // a date beyond date32 refuses the table; the rows before it are kept, to find an earlier refusal
    each_field(record, [&](int field, const auto& value) {
      if (!refusal_) refusal_ = date_check(value, field_place(record, lines, field), kDocumentFields[field].key);
    });
    return;
  }
  // The file's name and the account, added at the end, counted now: the account at its usual size or more.
  constexpr std::size_t kAccountBytes = 64;
  batch_bytes_ += written + (options_.file ? options_.file->size() : 0) + kAccountBytes;
  if (batch_bytes_ > options_.batch_bytes) keep_within_batch(record, lines);
}

std::size_t TableBuilder::append(const DocumentRecord& record, const FieldLines& lines, bool& beyond) {
  const Encoding encoding = record.text_encoding;
  std::size_t written = 0;
  columns_[kLineColumn].value(static_cast<std::int64_t>(record.lineno));
  std::size_t c = kFirstField;
  each_field(record, [&](int, const auto& value) { written += put(columns_[c++], value, encoding, beyond); });
  finest_scale_ = std::max<unsigned>(finest_scale_, record.amount.scale);
  amount_places_.push_back(field_place(record, lines, document_field_index::amount));
  const Encoding key_encoding = sections_ != nullptr ? sections_->text_encoding : Encoding::Utf8;
  for (std::size_t k = 0; k < keys_.size(); ++k, ++c) {
    const std::string_view value = k < row_keys_.size() ? row_keys_[k] : std::string_view();
    if (value.data() != nullptr) {
      written += columns_[c].text(value, key_encoding);
    } else {
      columns_[c].null();
    }
  }
  return written;
}

// Only a batch of gigabytes gets here: all its texts together take more than one column may. When one column
// does, the row goes to a new batch, or, alone in its batch, refuses the table.
void TableBuilder::keep_within_batch(const DocumentRecord& record, const FieldLines& lines) {
  const std::size_t limit = options_.batch_bytes;
  const auto over = [&]() -> std::optional<std::size_t> {
    for (std::size_t c = 0; c < columns_.size(); ++c) {
      if (columns_[c].text_size() > limit) return c;
    }
    return std::nullopt;
  };
  std::optional<std::size_t> column = over();
  if (column && columns_[kLineColumn].length() > 1) {
    for (ColumnBuilder& builder : columns_) builder.pop();
    amount_places_.pop_back();
    close_batch();
    open_batch();
    bool beyond = false;  // found on the first try
    batch_bytes_ = append(record, lines, beyond);
    column = over();
  }
  if (!column) return;
  if (*column >= kFirstKey) {
    const std::size_t k = *column - kFirstKey;
    refusal_ = too_long(value_place(row_key_lines_[k], record.lineno, keys_[k]), keys_[k], limit);
  } else {
    const auto field = static_cast<int>(*column - kFirstField);
    refusal_ = too_long(field_place(record, lines, field), kDocumentFields[field].key, limit);
  }
}

std::optional<Refusal> TableBuilder::interval_refusal(const ReaderResult& reading, unsigned scale) const {
  std::optional<Refusal> first;
  for (const Account& account : reading.accounts) {
    for (const Interval& interval : account.intervals) {
      const auto lines = interval_lines_.find(interval.lineno);
      each_value(interval, [&](int field, const auto& value) {
        const std::string_view key = kIntervalFields[field].key;
        const std::uint64_t line = lines == interval_lines_.end() ? 0 : lines->second[static_cast<std::size_t>(field)];
        keep_first(first, value_refusal(value, scale, value_place(line, interval.lineno, key), key));
      });
    }
  }
  return first;
}

Result<ArrowTable, Refusal> TableBuilder::intervals_table(const ReaderResult& reading, unsigned scale) const {
  ArrowTable table;
  std::vector<Type> types;
  const auto add = [&](std::string name, Type type, bool nullable) {
    table.fields.push_back(field_of(std::move(name), type, nullable, scale));
    types.push_back(type);
  };
  if (options_.file) add("file", Type::Text, false);
  add("account", Type::Text, false);
  add("lineno", Type::Line, false);
  for (const IntervalField& field : kIntervalFields) {
    add(std::string(field.attribute), type_of(field.kind), !is_required(field.kind));
  }
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
  const std::size_t limit = options_.batch_bytes;
  const std::size_t file_size = options_.file ? options_.file->size() : 0;
  const std::size_t account_column = options_.file ? 1 : 0;
  for (const Account& account : reading.accounts) {
    for (const Interval& interval : account.intervals) {
      // The file's and the account's columns, each within what a batch holds: cut before the row that would
      // take one past it (an account number alone past it is refused).
      if (account.number.size() > limit) {
        return Err(too_long(Place{interval.lineno, 0}, kAccountNumberKey, limit));
      }
      const bool over = columns[account_column].text_size() + account.number.size() > limit ||
                        (options_.file && columns[0].text_size() + file_size > limit);
      if (over && columns[0].length() > 0) {
        close();
        open();
      }
      std::size_t c = 0;
      if (options_.file) columns[c++].text(*options_.file, Encoding::Utf8);
      columns[c++].text(account.number, Encoding::Utf8);
      columns[c++].value(static_cast<std::int64_t>(interval.lineno));
      each_value(interval, [&](int, const auto& value) { put_interval_value(columns[c++], value, scale); });
    }
  }
  close();
  return table;
}

Tables TableBuilder::finish(ReaderResult& reading) {
  close_batch();
  unsigned scale = kLeastScale;
  if (options_.scale) {
    scale = *options_.scale;
  } else {
    scale = finest_scale_;
    for (const Account& account : reading.accounts) {
      for (const Interval& interval : account.intervals) {
        each_value(interval, [&](int, const auto& value) { widen_scale(scale, value); });
      }
    }
  }
  std::optional<Refusal> refusal = std::move(refusal_);
  keep_first(refusal, std::move(early_));
  keep_first(refusal, interval_refusal(reading, scale));
  for (Batch& batch : batches_) {
    keep_first(refusal, scale_amounts(batch.columns[kAmountColumn], batch.amount_places, scale,
                                      kDocumentFields[document_field_index::amount].key));
  }
  if (refusal) return Err(std::move(*refusal));

  StatementTables tables;
  tables.encoding = reading.encoding;
  ArrowTable& documents = tables.documents;
  if (options_.file) documents.fields.push_back(field_of("file", Type::Text, false, scale));
  documents.fields.push_back(field_of("account", Type::Text, true, scale));
  documents.fields.push_back(field_of("lineno", Type::Line, false, scale));
  // The fields in the documents' column order; the columns were made in the field table's.
  for (const int f : kDocumentColumns) {
    const DocumentField& field = kDocumentFields[f];
    documents.fields.push_back(
        field_of(std::string(field.attribute), type_of(field.kind), !is_required(field.kind), scale));
  }
  for (const std::string& key : keys_) documents.fields.push_back(field_of(key_column_name(key), Type::Text, true, scale));

  const AccountOf account_of(reading);
  const std::size_t limit = options_.batch_bytes;
  const std::size_t file_size = options_.file ? options_.file->size() : 0;
  for (Batch& batch : batches_) {
    std::vector<ArrowColumn>& made = batch.columns;
    const auto rows = static_cast<std::size_t>(made[kLineColumn].values.size() / sizeof(std::int64_t));
    while (made.size() < types_.size()) {  // a key column made after this batch: null throughout
      ColumnBuilder nulls(0, rows);
      for (std::size_t row = 0; row < rows; ++row) nulls.null();
      made.push_back(nulls.finish());
    }
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
        return Err(too_long(Place{static_cast<std::uint64_t>(line_at(made[kLineColumn], begin)), 0},
                            kAccountNumberKey, limit));
      }
      const bool whole = begin == 0 && end == rows;
      const auto column = [&](std::size_t c) {
        return whole ? std::move(made[c]) : rows_of(made[c], width_of(types_[c]), begin, end);
      };
      ArrowBatch out;
      out.length = static_cast<std::int64_t>(end - begin);
      out.columns.reserve(documents.fields.size());
      if (options_.file) {
        ColumnBuilder file(0, end - begin, (end - begin) * file_size);
        for (std::size_t row = begin; row < end; ++row) file.text(*options_.file, Encoding::Utf8);
        out.columns.push_back(file.finish());
      }
      ColumnBuilder account(0, end - begin, account_bytes);
      for (std::size_t row = begin; row < end; ++row) {
        if (accounts[row].data() != nullptr) {
          account.text(accounts[row], Encoding::Utf8);
        } else {
          account.null();
        }
      }
      out.columns.push_back(account.finish());
      out.columns.push_back(column(kLineColumn));
      for (const int f : kDocumentColumns) out.columns.push_back(column(kFirstField + static_cast<std::size_t>(f)));
      for (std::size_t c = kFirstKey; c < made.size(); ++c) out.columns.push_back(column(c));
      documents.batches.push_back(std::move(out));
      begin = end;
    }
  }
  batches_.clear();
  auto intervals = intervals_table(reading, scale);
  if (!intervals) return Err(std::move(intervals).error());
  tables.intervals = std::move(intervals).value();
  tables.warnings = std::move(reading.warnings);
  return tables;
}

std::size_t size_of(std::string_view bytes) noexcept { return bytes.size(); }
std::size_t size_of(CodePoints text) noexcept { return text.count; }

template <class Input>
Result<Tables, StatementError> read_tables_of(Input input, const TableOptions& options, const ReadOptions& read) {
  TableBuilder builder(options, size_of(input));
  if (options.all_keys || !options.keys.empty()) {
    auto reading = read_sections(input, read, &builder);
    if (!reading) return Err(std::move(reading).error());
    return builder.finish(reading.value().statement);
  }
  auto reading = parse_statement(input, {}, read, &builder);
  if (!reading) return Err(std::move(reading).error());
  return builder.finish(reading.value());
}

}  // namespace

std::string key_column_name(std::string_view key) {
  const bool taken = is_own_column(key) || key.substr(0, kKeyColumnPrefix.size()) == kKeyColumnPrefix;
  return taken ? std::string(kKeyColumnPrefix).append(key) : std::string(key);
}

Result<Tables, StatementError> read_tables(std::string_view input, const TableOptions& options,
                                           const ReadOptions& read) {
  return read_tables_of(input, options, read);
}

Result<Tables, StatementError> read_tables(CodePoints text, const TableOptions& options, const ReadOptions& read) {
  return read_tables_of(text, options, read);
}

StatementTables empty_tables(const TableOptions& options) {
  TableBuilder builder(options, 0);
  builder.start(nullptr);
  ReaderResult nothing;
  return std::move(builder.finish(nothing)).value();  // no value to refuse
}

}  // namespace quorlane

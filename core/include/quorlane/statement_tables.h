// A statement as two Arrow tables, built while the core reads it, in one reading: its documents, one row each,
// and its accounts' intervals. The columns a user joins on come first (the file's name when one is given, the
// account, the section's line), then a column for each value of the record, in the documents' column order and
// typed by the field table, then a text column for each key asked for beyond the fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quorlane/arrow_table.h"
#include "quorlane/decode.h"
#include "quorlane/errors.h"
#include "quorlane/result.h"
#include "quorlane/text_source.h"

namespace quorlane {

struct TableOptions {
  std::optional<std::string> file;  // UTF-8: the value of a "file" column; none without it
  std::vector<std::string> keys;    // UTF-8: keys of document sections whose last value becomes a text column
  bool all_keys = false;            // also: every key outside the fields that a document section has
  std::optional<unsigned> scale;    // of every amount column; otherwise the finest written, at least 2
  std::size_t batch_bytes = 0x7FFFFFFF;  // the most bytes of text a column of one batch may take
};

// A value that no column of the table can hold as it is: a fixed code ("date-range", "amount-scale",
// "amount-digits", "text-size", "column-name"), the key, where the value starts (its line, and its column
// counting characters from 1; 0 where that is not known: the value's section's closing line then) and why.
struct Refusal {
  std::string code;
  std::uint64_t lineno = 0;
  std::size_t column = 0;
  std::string key;
  std::string message;
};

struct StatementTables {
  Encoding encoding = Encoding::Utf8;
  ArrowTable documents;
  ArrowTable intervals;
  std::vector<StatementWarning> warnings;
};

// The tables, or the first value (by its line) that no column can hold.
using Tables = Result<StatementTables, Refusal>;

// One reading of a statement into its tables; the reader's error where parse_statement gives one. The
// sections as written are collected from the same lines only where the options ask for keys.
Result<Tables, StatementError> read_tables(std::string_view input, const TableOptions& options,
                                           const ReadOptions& read = {});
Result<Tables, StatementError> read_tables(CodePoints text, const TableOptions& options,
                                           const ReadOptions& read = {});

// The tables of no statement: the columns alone, as read_tables makes them with the same options.
StatementTables empty_tables(const TableOptions& options);

// The name of the column of a key outside the fields: the key itself, unless it is the name of one of the table's
// own columns ("file", "account", "lineno", a field's attribute) or begins with "key:", which then comes before it
// ("key:amount", "key:key:x"), so that no two columns share a name. Every output with a column per key names it so.
std::string key_column_name(std::string_view key);

// Whether the C data interface can carry `name` as a column's name: it hands names out as C strings, where a
// NUL would cut the name short (and two columns could come to share one). Such a name is refused, not escaped.
inline bool is_arrow_name(std::string_view name) noexcept { return name.find('\0') == std::string_view::npos; }

}  // namespace quorlane

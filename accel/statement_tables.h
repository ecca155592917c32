// A statement as two Arrow tables, built while the core reads it, without a Python object per value: its
// documents, one row each, and its accounts' intervals. The columns a user joins on come first (the file's name
// when one is given, the account, the section's line), then a column for each value of the record, typed by the
// core's field table, then a text column for each key asked for beyond the fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "arrow_table.h"
#include "quorlane/reader.h"
#include "quorlane/result.h"
#include "quorlane/sections.h"

namespace quorlane_accel {

struct TableOptions {
  std::optional<std::string> file;  // UTF-8: the value of a "file" column; none without it
  std::vector<std::string> keys;    // UTF-8: keys of document sections whose last value becomes a text column
  bool all_keys = false;            // instead: every key outside the fields that a document section has
  std::optional<unsigned> scale;    // of every amount column; otherwise the finest written, at least 2
  std::size_t batch_bytes = 0x7FFFFFFF;  // the most bytes of text a column of one batch may take
};

// A value that no column of the table can hold as it is: the line of its section (the closing line), its key,
// a fixed code ("date-range", "amount-scale", "amount-digits", "text-size", "column-name") and why.
struct Refusal {
  std::string code;
  std::uint64_t lineno = 0;
  std::string key;
  std::string message;
};

struct StatementTables {
  ArrowTable documents;
  ArrowTable intervals;
};

// Takes the documents of a reading as the core hands them (the sink of parse_statement) and makes the tables
// once the reading is done. Its texts are copied once, from the statement's text into the columns.
class TableBuilder : public quorlane::DocumentSink {
 public:
  // `sections` (the statement's sections as written, read with the same rules) is needed only when the options
  // ask for keys; it must outlive the builder, as must the options. `input_size`, of the statement in bytes or
  // code points, only sizes what is reserved.
  TableBuilder(const TableOptions& options, const quorlane::StatementSections* sections, std::size_t input_size);
  ~TableBuilder() override;

  void start() override;
  void take(const quorlane::DocumentRecord& record) override;

  // After a successful reading: the tables, or the first value (by its line) that no column can hold.
  quorlane::Result<StatementTables, Refusal> finish(const quorlane::ReaderResult& reading);

 private:
  struct State;
  // Adds the record's row to the batch; the bytes of text it took. Sets `beyond` for a date beyond date32.
  std::size_t append(const quorlane::DocumentRecord& record, bool& beyond);
  void keep_within_batch(const quorlane::DocumentRecord& record);

  const TableOptions& options_;
  const quorlane::StatementSections* sections_;
  std::size_t rows_hint_;
  std::size_t text_room_;
  std::unique_ptr<State> state_;
};

}  // namespace quorlane_accel

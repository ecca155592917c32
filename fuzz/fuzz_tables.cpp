// A statement's tables, from arbitrary bytes: the verdict is parse_statement's; the documents table has a row
// for each document the reading keeps, with every text column of every batch within the batch limit (which
// byte 1 makes small, so that batches are cut and long values refused) and offsets that rise inside its bytes;
// a refusal names a line of the text; a table exports whole through the C data and stream interfaces.
//
// Input layout: byte 0 picks the piece size and the options, byte 1 the batch limit, the rest is the statement.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "quorlane/parse.h"
#include "quorlane/statement_tables.h"

#include "check.h"

namespace {

void check_batches(const quorlane::ArrowTable& table, std::size_t limit) {
  for (const quorlane::ArrowBatch& batch : table.batches) {
    check(batch.columns.size() == table.fields.size());
    for (const quorlane::ArrowColumn& column : batch.columns) {
      if (!column.has_text) continue;
      check(column.text.size() <= limit);
      const auto* offsets = static_cast<const std::int32_t*>(column.values.data());
      check(column.values.size() == static_cast<std::size_t>(batch.length + 1) * sizeof(std::int32_t));
      check(offsets[0] == 0 && static_cast<std::size_t>(offsets[batch.length]) == column.text.size());
      for (std::int64_t row = 0; row < batch.length; ++row) check(offsets[row] <= offsets[row + 1]);
    }
  }
}

void check_export(quorlane::ArrowTable&& table) {
  const std::int64_t expected = table.rows();
  const std::size_t columns = table.fields.size();
  auto shared = std::make_shared<const quorlane::ArrowTable>(std::move(table));
  ArrowArrayStream stream;
  quorlane::export_stream(shared, &stream);
  ArrowSchema schema;
  check(stream.get_schema(&stream, &schema) == 0 && schema.n_children == static_cast<std::int64_t>(columns));
  schema.release(&schema);
  std::int64_t rows = 0;
  for (;;) {
    ArrowArray array;
    check(stream.get_next(&stream, &array) == 0);
    if (array.release == nullptr) break;
    rows += array.length;
    array.release(&array);
  }
  check(rows == expected);
  stream.release(&stream);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const quorlane::ReadOptions read{1 + std::size_t{data[0]} * 17};
  quorlane::TableOptions options;
  if (data[0] & 1) options.file = "file";
  options.all_keys = (data[0] & 2) != 0;
  if (data[0] & 4) options.keys.push_back("Код");
  options.batch_bytes = 64 + std::size_t{data[1]} * 64;
  const std::string_view input(reinterpret_cast<const char*>(data) + 2, size - 2);
  const auto parsed = quorlane::parse_statement(input, {}, read);
  auto tables = quorlane::read_tables(input, options, read);
  check(tables.ok() == parsed.ok());
  if (!tables) {
    check(quorlane::message(tables.error()) == quorlane::message(parsed.error()));
    return 0;
  }
  if (!tables.value()) {
    const quorlane::Refusal& refusal = tables.value().error();
    const std::size_t lines = static_cast<std::size_t>(std::count(input.begin(), input.end(), '\n')) + 1;
    check(refusal.lineno >= 1 && refusal.lineno <= lines && !refusal.code.empty());
    return 0;
  }
  quorlane::StatementTables& made = tables.value().value();
  check(made.encoding == parsed.value().encoding && made.warnings == parsed.value().warnings);
  check(made.documents.rows() == static_cast<std::int64_t>(parsed.value().documents.size()));
  check_batches(made.documents, options.batch_bytes);
  check_batches(made.intervals, options.batch_bytes);
  check_export(std::move(made.documents));
  return 0;
}

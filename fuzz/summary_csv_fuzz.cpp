// A fuzzed summary CSV and query: any bytes are read to the end without a crash or a hang, and
// a cell found is never empty. Input: "section\0row\0column\0csv" (an empty section means any
// block; a column of digits is an index).
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "study_table/csv_records.h"
#include "study_table/summary_csv.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fuzz_support;
  const auto parts = split_documents(as_text(data, size), 4);
  study_table::CellQuery query;
  if (!parts[0].empty()) query.section = std::string(parts[0]);
  query.row = std::string(parts[1]);
  const std::string column(parts[2]);
  if (!column.empty() && column.size() < 6 &&
      column.find_first_not_of("0123456789") == std::string::npos) {
    query.column.index = std::stoul(column);
  } else {
    query.column.name = column;
  }
  const auto cell = study_table::find_summary_cell(parts[3], query);
  if (cell) require(!cell->empty(), "a found cell has text");

  // Every record starts further on than the one before, and they end at the end of the text.
  study_table::CsvRecords records(parts[3]);
  std::vector<std::string> cells;
  std::size_t before = records.position();
  while (records.next(cells)) {
    require(!cells.empty(), "a record has a cell");
    require(records.position() > before, "records move forward");
    before = records.position();
  }
  require(before >= parts[3].size(), "records reach the end");
  return 0;
}

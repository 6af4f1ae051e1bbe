// A fuzzed time series: the fast column scan counts exactly the numbers that reading every
// record in full finds, whatever the bytes (quotes left open, line breaks inside quotes, CRs).
// Input: one byte naming the column (by position), then the CSV.
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "study_table/csv_records.h"
#include "study_table/number_text.h"
#include "study_table/time_series.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fuzz_support;
  if (size == 0) return 0;
  const std::size_t column = data[0] % 8;
  const std::string_view text = as_text(data + 1, size - 1);

  std::size_t expected = 0;
  study_table::CsvRecords records(text);
  std::vector<std::string> cells;
  const bool has_header = records.next(cells);
  while (records.next(cells)) {
    if (column < cells.size() && study_table::read_number(cells[column])) ++expected;
  }
  const study_table::ColumnRef by_index{"", column};
  const auto count = study_table::reduce_time_series(text, by_index, study_table::Reduction::Count);
  require(count.has_value() == has_header, "only an empty text has no header");
  if (!count) return 0;
  require(*count == std::to_string(expected), "the scan counts what the record reader finds",
          *count + " against " + std::to_string(expected));
  for (const char* name : {"sum", "mean", "min", "max", "first", "last"}) {
    const auto value =
        study_table::reduce_time_series(text, by_index, *study_table::reduction_named(name));
    const bool out_of_range = !value && value.error().message.ends_with("is out of range");
    require(value.has_value() == (expected > 0) || out_of_range,
            "a value exactly when there are numbers", name);
    if (value) require(study_table::read_number(*value).has_value(), "a value reads back", *value);
  }
  return 0;
}

#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/error.h"
#include "common/path_pattern.h"
#include "study_table/column_ref.h"
#include "study_table/json_lookup.h"
#include "study_table/time_series.h"

namespace study_table {

// One result column of the table and where each succeeded run's value is found below its
// engine outputs.
struct Metric {
  enum class Kind {
    SummaryCell,  // "row" and "column" (and perhaps "section") of a sectioned CSV
    Reduction,    // "column" and "reduce" over a time-series CSV
    JsonValue,    // "pointer" into a JSON file
  };

  std::string name;
  common::PathPattern file;
  Kind kind = Kind::SummaryCell;
  std::optional<std::string> section;
  std::string row;
  ColumnRef column;
  Reduction reduction = Reduction::Sum;
  JsonPointer pointer;
};

// Reads a metrics file: {"metrics": [{"name": ..., "file": ..., ...}, ...]}, in file order.
// Fails with one line naming the metric (by name, or by its position when it has none) and the
// fault: not JSON, no list, a metric without "name" or "file", two of one name, a bad pattern or
// pointer, an unknown "reduce", a member that does not belong to its kind.
common::Result<std::vector<Metric>> parse_metrics(std::string_view text);

}  // namespace study_table

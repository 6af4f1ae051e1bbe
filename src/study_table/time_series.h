#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/error.h"
#include "study_table/column_ref.h"

// The time-series files engines write: a header line, perhaps a line of units, then one line
// per step. One column is folded into one number.
namespace study_table {

enum class Reduction { Sum, Mean, Min, Max, First, Last, Count };

// The reduction named "sum", "mean", "min", "max", "first", "last" or "count".
std::optional<Reduction> reduction_named(std::string_view name);

// Folds the cells of `column` that are numbers (see read_number), in every line after the
// header; other cells (units, blanks, text) are passed over. The result is the shortest text of
// the value; "count" counts the numbers and gives "0" when there are none. Fails, saying why,
// when the header has no such column or (for the others) no line has a number there.
common::Result<std::string> reduce_time_series(std::string_view text, const ColumnRef& column,
                                               Reduction reduction);

}  // namespace study_table

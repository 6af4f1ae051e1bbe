#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/error.h"
#include "study_table/column_ref.h"

// The summary files engines write: blocks separated by blank lines, each opening with an
// optional title line of one cell, then a header line of more cells, then rows named by their
// first cell.
namespace study_table {

struct CellQuery {
  std::optional<std::string> section;  // a block title; any block when empty
  std::string row;                     // the row's first cell
  ColumnRef column;                    // a header name of the row's block, or a position in the row
};

// The text of the cell in the first row named `query.row` (in a block titled `query.section`,
// when given). Fails, saying why, when there is no such section, row or column, or the cell is
// empty.
common::Result<std::string> find_summary_cell(std::string_view text, const CellQuery& query);

}  // namespace study_table

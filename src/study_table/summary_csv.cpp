#include "study_table/summary_csv.h"

#include <vector>

#include "study_table/csv_records.h"

namespace study_table {
namespace {

std::string in_quotes(std::string_view text) { return "\"" + std::string(text) + "\""; }

// The block being read: its title, if it opened with one, and its header once seen.
struct Block {
  bool open = false;
  std::optional<std::string> title;
  std::vector<std::string> header;
};

common::Result<std::string> cell_of(const std::vector<std::string>& row, const Block& block,
                                    const CellQuery& query) {
  const auto position = query.column.position_in(block.header);
  if (!position) return common::fail("no " + query.column.describe() + " beside row " + in_quotes(query.row));
  if (*position >= row.size()) {
    return common::fail("row " + in_quotes(query.row) + " has no cell in " + query.column.describe());
  }
  if (row[*position].empty()) {
    return common::fail("row " + in_quotes(query.row) + " is empty in " + query.column.describe());
  }
  return row[*position];
}

}  // namespace

common::Result<std::string> find_summary_cell(std::string_view text, const CellQuery& query) {
  CsvRecords records(text);
  std::vector<std::string> cells;
  Block block;
  bool section_seen = false;
  while (records.next(cells)) {
    if (is_blank_record(cells)) {
      block = Block{};
      continue;
    }
    if (!block.open) {
      block.open = true;
      if (cells.size() == 1) {
        block.title = cells.front();
        section_seen = section_seen || (query.section && block.title == query.section);
        continue;
      }
    }
    if (block.header.empty()) {
      // Further one-cell lines before the header are notes, not rows.
      if (cells.size() > 1) block.header = cells;
      continue;
    }
    if (query.section && block.title != query.section) continue;
    if (cells.front() == query.row) return cell_of(cells, block, query);
  }
  if (query.section && !section_seen) return common::fail("no section " + in_quotes(*query.section));
  return common::fail("no row " + in_quotes(query.row) +
                      (query.section ? " in section " + in_quotes(*query.section) : ""));
}

}  // namespace study_table

#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace study_table {

// A column of a CSV file as a metric names it: by its header text, or by its 0-based position.
struct ColumnRef {
  std::string name;                  // used when `index` is empty
  std::optional<std::size_t> index;

  // The position of the column in `header`; nothing when the header has no such name. An index
  // is taken as it is, whatever the header holds.
  std::optional<std::size_t> position_in(const std::vector<std::string>& header) const;
  // "column \"Total\"" or "column 4", for messages.
  std::string describe() const;
};

}  // namespace study_table

#include "study_table/column_ref.h"

namespace study_table {

std::optional<std::size_t> ColumnRef::position_in(const std::vector<std::string>& header) const {
  if (index) return index;
  for (std::size_t i = 0; i < header.size(); ++i) {
    if (header[i] == name) return i;
  }
  return std::nullopt;
}

std::string ColumnRef::describe() const {
  return index ? "column " + std::to_string(*index) : "column \"" + name + "\"";
}

}  // namespace study_table

#pragma once

#include <optional>
#include <string>
#include <string_view>

// Numbers as the cells of a table hold them.
namespace study_table {

// The value of a cell that is a number: decimal or exponent form with an optional sign, white
// space around it allowed. Nothing for anything else, and for infinities and NaN, which no
// engine output means as a quantity.
std::optional<double> read_number(std::string_view cell);

// The shortest text that reads back to the same value ("1234", "0.1", "1e+21").
std::string shortest_text(double value);

}  // namespace study_table

#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Reading the CSV files engines write: RFC 4180 records (a quoted cell may hold commas, line
// breaks and doubled quotes), lines ended by LF or CRLF, a leading UTF-8 byte-order mark
// ignored. Unquoted cells lose the spaces and tabs around them, so "Total, 12.5" reads as the
// cells "Total" and "12.5". Any bytes are accepted: a quote left open runs to the end of the text.
namespace study_table {

class CsvRecords {
 public:
  explicit CsvRecords(std::string_view text);

  // Reads the next record into `cells` (cleared first); false at the end of the text. An empty
  // line is a record of one empty cell.
  bool next(std::vector<std::string>& cells);

  // Where the next record starts.
  std::size_t position() const { return at_; }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

// True when every cell is empty: a separator between blocks, whether written as an empty line
// or as a row of commas.
bool is_blank_record(const std::vector<std::string>& cells);

// The text without its spaces and tabs at either end.
std::string_view trim_blanks(std::string_view text);

}  // namespace study_table

#include "study_table/csv_records.h"

namespace study_table {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool is_line_end(std::string_view text, std::size_t at) {
  return text[at] == '\n' || (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n');
}

std::size_t skip_line_end(std::string_view text, std::size_t at) {
  return at + (text[at] == '\r' ? 2 : 1);
}

}  // namespace

std::string_view trim_blanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

CsvRecords::CsvRecords(std::string_view text) : text_(text) {
  if (text_.starts_with(kByteOrderMark)) at_ = kByteOrderMark.size();
}

bool CsvRecords::next(std::vector<std::string>& cells) {
  cells.clear();
  if (at_ >= text_.size()) return false;
  for (;;) {
    // One cell: blanks, then either a quoted part or plain text up to the next comma or line end.
    std::size_t at = at_;
    while (at < text_.size() && (text_[at] == ' ' || text_[at] == '\t')) ++at;
    std::string cell;
    if (at < text_.size() && text_[at] == '"') {
      for (++at; at < text_.size(); ++at) {
        if (text_[at] != '"') {
          cell += text_[at];
        } else if (at + 1 < text_.size() && text_[at + 1] == '"') {
          cell += '"';
          ++at;
        } else {
          ++at;
          break;
        }
      }
      // Anything after the closing quote up to the separator belongs to the cell too.
      const std::size_t rest = at;
      while (at < text_.size() && text_[at] != ',' && !is_line_end(text_, at)) ++at;
      cell += trim_blanks(text_.substr(rest, at - rest));
    } else {
      const std::size_t start = at_;
      while (at < text_.size() && text_[at] != ',' && !is_line_end(text_, at)) ++at;
      cell = trim_blanks(text_.substr(start, at - start));
    }
    cells.push_back(std::move(cell));
    if (at >= text_.size()) {
      at_ = text_.size();
      return true;
    }
    if (text_[at] == ',') {
      at_ = at + 1;
      continue;
    }
    at_ = skip_line_end(text_, at);
    return true;
  }
}

bool is_blank_record(const std::vector<std::string>& cells) {
  for (const std::string& cell : cells) {
    if (!cell.empty()) return false;
  }
  return true;
}

}  // namespace study_table

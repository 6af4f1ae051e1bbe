#include "study_table/time_series.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "study_table/csv_records.h"
#include "study_table/number_text.h"

namespace study_table {
namespace {

constexpr std::pair<std::string_view, Reduction> kReductions[] = {
    {"sum", Reduction::Sum},   {"mean", Reduction::Mean},   {"min", Reduction::Min},
    {"max", Reduction::Max},   {"first", Reduction::First}, {"last", Reduction::Last},
    {"count", Reduction::Count},
};

struct Fold {
  std::size_t count = 0;
  double sum = 0.0;
  double min = 0.0;
  double max = 0.0;
  double first = 0.0;
  double last = 0.0;

  void add(double value) {
    if (count == 0) {
      min = max = first = value;
    } else {
      min = std::min(min, value);
      max = std::max(max, value);
    }
    last = value;
    sum += value;
    ++count;
  }
};

// Walks the lines of the text after its header, one cell of each, without copying anything
// but a quoted cell: a time series of hundreds of thousands of lines is read at memory speed.
class ColumnScan {
 public:
  ColumnScan(std::string_view text, std::size_t start, std::size_t column)
      : text_(text), at_(start), column_(column) {}

  // The cell of the column in the next line, or nothing when the line is shorter; false at the
  // end of the text.
  bool next(std::optional<std::string_view>& cell) {
    if (at_ >= text_.size()) return false;
    cell.reset();
    for (std::size_t i = 0;; ++i) {
      const std::string_view found = read_cell(&unquoted_);
      if (i == column_) cell = found;
      const char stop = at_ < text_.size() ? text_[at_] : '\n';
      ++at_;
      if (stop == '\n') return true;
      if (i == column_) {
        skip_rest_of_line();
        return true;
      }
    }
  }

 private:
  // Reads one cell and leaves the position on its separator (a ',' or '\n', or the end). A
  // quoted cell is unquoted into `into` when given; the view stays valid until the next call
  // that fills the same string.
  std::string_view read_cell(std::string* into) {
    const std::size_t start = at_;
    std::size_t quote = start;
    while (quote < text_.size() && (text_[quote] == ' ' || text_[quote] == '\t')) ++quote;
    if (quote < text_.size() && text_[quote] == '"') return read_quoted(quote, into);
    const char* begin = text_.data() + start;
    const char* end = text_.data() + text_.size();
    const char* p = begin;
    while (p != end && *p != ',' && *p != '\n') ++p;
    at_ = static_cast<std::size_t>(p - text_.data());
    return without_line_end(std::string_view(begin, static_cast<std::size_t>(p - begin)));
  }

  // The quoted part goes into `into` unless only its end is wanted (nullptr).
  std::string_view read_quoted(std::size_t quote, std::string* into = nullptr) {
    std::string scratch;
    std::string& unquoted = into ? *into : scratch;
    unquoted.clear();
    std::size_t at = quote + 1;
    for (; at < text_.size(); ++at) {
      if (text_[at] != '"') {
        if (into) unquoted += text_[at];
      } else if (at + 1 < text_.size() && text_[at + 1] == '"') {
        if (into) unquoted += '"';
        ++at;
      } else {
        ++at;
        break;
      }
    }
    // As CsvRecords reads it: what follows the closing quote joins the cell, blanks trimmed.
    const std::size_t rest = at;
    while (at < text_.size() && text_[at] != ',' && text_[at] != '\n') ++at;
    at_ = at;
    unquoted += trim_blanks(without_line_end(text_.substr(rest, at - rest)));
    return into ? std::string_view(*into) : std::string_view();
  }

  // A CR belongs to the line end only right before its LF.
  std::string_view without_line_end(std::string_view cell) const {
    if (at_ < text_.size() && text_[at_] == '\n' && !cell.empty() && cell.back() == '\r') {
      cell.remove_suffix(1);
    }
    return cell;
  }

  // Jumps to the next line; only a line with a quote in its rest needs reading cell by cell,
  // since a quoted cell may hold a line break.
  void skip_rest_of_line() {
    const char* from = text_.data() + at_;
    const std::size_t left = text_.size() - at_;
    const void* line_end = std::memchr(from, '\n', left);
    const std::size_t length =
        line_end ? static_cast<std::size_t>(static_cast<const char*>(line_end) - from) : left;
    if (std::memchr(from, '"', length) == nullptr) {
      at_ += length + 1;
      return;
    }
    for (;;) {
      read_cell(nullptr);
      const char stop = at_ < text_.size() ? text_[at_] : '\n';
      ++at_;
      if (stop == '\n') return;
    }
  }

  std::string_view text_;
  std::size_t at_;
  std::size_t column_;
  std::string unquoted_;
};

double value_of(const Fold& fold, Reduction reduction) {
  switch (reduction) {
    case Reduction::Sum: return fold.sum;
    case Reduction::Mean: return fold.sum / static_cast<double>(fold.count);
    case Reduction::Min: return fold.min;
    case Reduction::Max: return fold.max;
    case Reduction::First: return fold.first;
    default: return fold.last;
  }
}

common::Result<std::string> result_of(const Fold& fold, Reduction reduction,
                                      const ColumnRef& column) {
  if (reduction == Reduction::Count) return std::to_string(fold.count);
  if (fold.count == 0) return common::fail("no number in " + column.describe());
  const double value = value_of(fold, reduction);
  // A sum of huge numbers can pass the largest double; "inf" is no quantity.
  if (!std::isfinite(value)) return common::fail("the result in " + column.describe() + " is out of range");
  return shortest_text(value);
}

}  // namespace

std::optional<Reduction> reduction_named(std::string_view name) {
  for (const auto& [text, reduction] : kReductions) {
    if (text == name) return reduction;
  }
  return std::nullopt;
}

common::Result<std::string> reduce_time_series(std::string_view text, const ColumnRef& column,
                                               Reduction reduction) {
  CsvRecords records(text);
  std::vector<std::string> header;
  if (!records.next(header)) return common::fail("the file is empty");
  const auto position = column.position_in(header);
  if (!position) return common::fail("no " + column.describe() + " in the header");
  ColumnScan scan(text, records.position(), *position);
  Fold fold;
  std::optional<std::string_view> cell;
  while (scan.next(cell)) {
    if (!cell) continue;
    if (const auto value = read_number(*cell)) fold.add(*value);
  }
  return result_of(fold, reduction, column);
}

}  // namespace study_table

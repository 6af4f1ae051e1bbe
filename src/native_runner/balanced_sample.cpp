#include "native_runner/balanced_sample.h"

#include <utility>

namespace native_runner {
namespace {

std::vector<std::uint64_t> balanced_column(std::uint64_t length, std::uint64_t count,
                                           common::SeededRandom& random) {
  std::vector<std::uint64_t> column;
  column.reserve(count);
  const std::uint64_t each = count / length;
  // A list longer than the sample has values that appear no times at all: no pass over it.
  if (each > 0) {
    for (std::uint64_t value = 0; value < length; ++value) column.insert(column.end(), each, value);
  }
  for (std::uint64_t value : random.choose_distinct(length, count % length)) {
    column.push_back(value);
  }
  random.shuffle(column);
  return column;
}

DigitRows paired_columns(const std::vector<std::uint64_t>& lengths, std::uint64_t count,
                         common::SeededRandom& random) {
  std::vector<std::vector<std::uint64_t>> columns;
  columns.reserve(lengths.size());
  for (std::uint64_t length : lengths) columns.push_back(balanced_column(length, count, random));
  DigitRows rows(lengths.size());
  rows.reserve(count);
  std::vector<std::uint64_t> digits(lengths.size());
  for (std::uint64_t r = 0; r < count; ++r) {
    for (std::size_t c = 0; c < columns.size(); ++c) digits[c] = columns[c][r];
    rows.push_back(digits);
  }
  return rows;
}

// Swaps entry `list` of rows r and s, and swaps back when the rows then hold fewer distinct
// combinations. A swap that keeps their number moves a repeat elsewhere, which is what lets the
// repair leave a dead end.
void try_swap(DigitRows& rows, RowCounts& counts, std::size_t r, std::size_t s, std::size_t list) {
  const std::size_t before = counts.distinct();
  const auto swap_entries = [&] {
    counts.remove(rows.row(r));
    counts.remove(rows.row(s));
    std::swap(rows.row(r)[list], rows.row(s)[list]);
    counts.add(rows.row(r));
    counts.add(rows.row(s));
  };
  swap_entries();
  if (counts.distinct() < before) swap_entries();
}

void repair_by_swaps(DigitRows& rows, RowCounts& counts, common::SeededRandom& random,
                     std::uint64_t attempts_per_row) {
  const std::uint64_t count = rows.size();
  for (int pass = 0; pass < kRepairPasses && counts.distinct() < count; ++pass) {
    for (std::size_t r = 0; r < count; ++r) {
      for (std::uint64_t attempt = 0; attempt < attempts_per_row && counts.count(rows.row(r)) > 1;
           ++attempt) {
        const auto s = static_cast<std::size_t>(random.below(count));
        const auto list = static_cast<std::size_t>(random.below(rows.width()));
        if (s == r || rows.row(r)[list] == rows.row(s)[list]) continue;
        try_swap(rows, counts, r, s, list);
      }
    }
  }
}

// Replaces every row that repeats an earlier one with a combination not held yet.
std::size_t replace_repeats(DigitRows& rows, const std::vector<std::uint64_t>& lengths,
                            common::SeededRandom& random) {
  RowCounts held;
  std::vector<std::size_t> repeats;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (!held.add(rows.row(r))) repeats.push_back(r);
  }
  for (std::size_t r : repeats) {
    const auto digits = rows.row(r);
    do {
      for (std::size_t c = 0; c < lengths.size(); ++c) digits[c] = random.below(lengths[c]);
    } while (!held.add(digits));
  }
  return repeats.size();
}

}  // namespace

BalancedRows balanced_rows(const std::vector<std::uint64_t>& lengths, std::uint64_t count,
                           common::SeededRandom& random, std::uint64_t attempts_per_row) {
  BalancedRows result{paired_columns(lengths, count, random), 0};
  RowCounts counts;
  for (std::size_t r = 0; r < result.rows.size(); ++r) counts.add(result.rows.row(r));
  if (counts.distinct() < result.rows.size()) {
    repair_by_swaps(result.rows, counts, random, attempts_per_row);
    result.replaced = replace_repeats(result.rows, lengths, random);
  }
  return result;
}

}  // namespace native_runner

#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/seeded_random.h"
#include "native_runner/digit_rows.h"

namespace native_runner {

// The repair's effort: passes over the rows, and draws made for a repeated row in one pass.
// Over every group of up to four lists of up to five values, every sample size up to half the
// group and ten seeds, these leave no row to replace.
inline constexpr int kRepairPasses = 32;
inline constexpr std::uint64_t kRepairAttemptsPerRow = 16;

struct BalancedRows {
  DigitRows rows;            // distinct, in the order drawn
  std::size_t replaced = 0;  // rows the swaps could not make distinct (see balanced_rows)
};

// `count` distinct combinations of the group with these lengths, in which every value of a list
// of length L appears floor(count / L) or ceil(count / L) times, paired across lists at random.
//
// Each list gets a column of `count` values: every value floor(count / L) times, then the
// count mod L values random.choose_distinct(L, count mod L) gives, and the column is shuffled;
// columns are drawn in list order. Row r takes entry r of every column. Rows that repeat are then
// repaired by swaps within a column, which keep every count. The repair makes up to
// kRepairPasses passes over the rows, stopping once all are distinct; in a pass, for each row r
// in order, while it matches another row and fewer than `attempts_per_row` draws were made for
// it in this pass, it draws a row s = below(count) and a list c = below(number of lists) and
// swaps the two rows' entries in column c (a draw with s = r or equal entries does nothing); the
// swap is undone when the rows then hold fewer distinct combinations than before.
// Distinctness wins over balance: afterwards every row that still repeats an earlier one is
// replaced, in order, by a combination drawn digit by digit (below(L) for each list in order),
// drawn again until it is not yet held. Each replaced row moves a list's counts by at most one.
//
// The group must hold at least twice `count` combinations, or be beyond 64 bits, so that the
// replacement draws find a free combination at least half the time.
BalancedRows balanced_rows(const std::vector<std::uint64_t>& lengths, std::uint64_t count,
                           common::SeededRandom& random,
                           std::uint64_t attempts_per_row = kRepairAttemptsPerRow);

}  // namespace native_runner

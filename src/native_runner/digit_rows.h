#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "common/big_count.h"

namespace native_runner {

// Combinations as rows of mixed-radix digits, one digit per parameter list (the position of the
// value in its list), held in one flat block so that a sample costs one allocation however many
// lists there are.
class DigitRows {
 public:
  explicit DigitRows(std::size_t width) : width_(width) {}

  std::size_t width() const { return width_; }
  std::size_t size() const { return size_; }
  std::span<const std::uint64_t> row(std::size_t r) const {
    return {digits_.data() + r * width_, width_};
  }
  std::span<std::uint64_t> row(std::size_t r) { return {digits_.data() + r * width_, width_}; }

  void reserve(std::size_t rows) { digits_.reserve(rows * width_); }
  void push_back(std::span<const std::uint64_t> digits);
  void pop_back();
  // Ascending lexicographic order of the digits, which is ascending index order.
  void sort();

 private:
  std::size_t width_;
  std::size_t size_ = 0;
  std::vector<std::uint64_t> digits_;
};

// How many rows hold each combination, for telling repeats apart. Only lookups are asked of it,
// so the hash never shows in which combinations are chosen.
class RowCounts {
 public:
  // Adds one row of these digits; false when an earlier row already held them.
  bool add(std::span<const std::uint64_t> digits);
  void remove(std::span<const std::uint64_t> digits);
  std::uint64_t count(std::span<const std::uint64_t> digits) const;
  // The number of different combinations held.
  std::size_t distinct() const { return counts_.size(); }

 private:
  struct Hash {
    std::size_t operator()(const std::vector<std::uint64_t>& digits) const;
  };
  std::unordered_map<std::vector<std::uint64_t>, std::uint64_t, Hash> counts_;
};

// The index of the combination with these digits in its group (Horner's rule over the list
// lengths, first list slowest): exact however large the group.
common::BigCount index_of(std::span<const std::uint64_t> digits,
                          const std::vector<std::uint64_t>& lengths);

// The digits of the combination with this index, which must be below the group's size.
void digits_of(std::uint64_t index, const std::vector<std::uint64_t>& lengths,
               std::span<std::uint64_t> digits);

// Moves `digits` to the next combination, last list fastest; false after the last one.
bool next_digits(std::span<std::uint64_t> digits, const std::vector<std::uint64_t>& lengths);

}  // namespace native_runner

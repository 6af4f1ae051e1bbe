#include "native_runner/digit_rows.h"

#include <algorithm>
#include <numeric>

namespace native_runner {
namespace {

std::vector<std::uint64_t> key_of(std::span<const std::uint64_t> digits) {
  return {digits.begin(), digits.end()};
}

}  // namespace

void DigitRows::push_back(std::span<const std::uint64_t> digits) {
  digits_.insert(digits_.end(), digits.begin(), digits.end());
  ++size_;
}

void DigitRows::pop_back() {
  digits_.resize(digits_.size() - width_);
  --size_;
}

void DigitRows::sort() {
  std::vector<std::size_t> order(size_);
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
    const auto left = row(a);
    const auto right = row(b);
    return std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end());
  });
  std::vector<std::uint64_t> sorted;
  sorted.reserve(digits_.size());
  for (std::size_t r : order) {
    const auto digits = row(r);
    sorted.insert(sorted.end(), digits.begin(), digits.end());
  }
  digits_ = std::move(sorted);
}

bool RowCounts::add(std::span<const std::uint64_t> digits) {
  return ++counts_[key_of(digits)] == 1;
}

void RowCounts::remove(std::span<const std::uint64_t> digits) {
  const auto found = counts_.find(key_of(digits));
  if (found != counts_.end() && --found->second == 0) counts_.erase(found);
}

std::uint64_t RowCounts::count(std::span<const std::uint64_t> digits) const {
  const auto found = counts_.find(key_of(digits));
  return found == counts_.end() ? 0 : found->second;
}

std::size_t RowCounts::Hash::operator()(const std::vector<std::uint64_t>& digits) const {
  // Every digit is mixed into all the bits: the standard hash of an integer is the integer
  // itself on some libraries, which would crowd rows of small digits into a few buckets.
  std::uint64_t h = digits.size();
  for (std::uint64_t d : digits) {
    h ^= d + 0x9E3779B97F4A7C15 + (h << 6) + (h >> 2);
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCD;
    h ^= h >> 33;
  }
  return static_cast<std::size_t>(h);
}

common::BigCount index_of(std::span<const std::uint64_t> digits,
                          const std::vector<std::uint64_t>& lengths) {
  common::BigCount index;
  for (std::size_t i = 0; i < digits.size(); ++i) index.multiply_add(lengths[i], digits[i]);
  return index;
}

void digits_of(std::uint64_t index, const std::vector<std::uint64_t>& lengths,
               std::span<std::uint64_t> digits) {
  for (std::size_t i = lengths.size(); i-- > 0;) {
    digits[i] = index % lengths[i];
    index /= lengths[i];
  }
}

bool next_digits(std::span<std::uint64_t> digits, const std::vector<std::uint64_t>& lengths) {
  for (std::size_t i = digits.size(); i-- > 0;) {
    if (++digits[i] < lengths[i]) return true;
    digits[i] = 0;
  }
  return false;
}

}  // namespace native_runner

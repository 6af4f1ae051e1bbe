#include "native_runner/combination_sample.h"

#include <algorithm>
#include <utility>

#include "common/seeded_random.h"
#include "native_runner/balanced_sample.h"

namespace native_runner {
namespace {

// The rows of these indices, which must be ascending and below the group's size.
DigitRows rows_at(const std::vector<std::uint64_t>& indices,
                  const std::vector<std::uint64_t>& lengths) {
  DigitRows rows(lengths.size());
  rows.reserve(indices.size());
  std::vector<std::uint64_t> digits(lengths.size());
  for (std::uint64_t index : indices) {
    digits_of(index, lengths, digits);
    rows.push_back(digits);
  }
  return rows;
}

DigitRows every_row(const std::vector<std::uint64_t>& lengths, std::uint64_t group_size) {
  DigitRows rows(lengths.size());
  rows.reserve(group_size);
  std::vector<std::uint64_t> digits(lengths.size(), 0);
  for (std::uint64_t i = 0; i < group_size; ++i, next_digits(digits, lengths)) {
    rows.push_back(digits);
  }
  return rows;
}

// The indices of the group not among `left_out`.
std::vector<std::uint64_t> complement(std::vector<std::uint64_t> left_out,
                                      std::uint64_t group_size) {
  std::sort(left_out.begin(), left_out.end());
  std::vector<std::uint64_t> kept;
  kept.reserve(group_size - left_out.size());
  auto next_out = left_out.begin();
  for (std::uint64_t i = 0; i < group_size; ++i) {
    if (next_out != left_out.end() && *next_out == i) {
      ++next_out;
    } else {
      kept.push_back(i);
    }
  }
  return kept;
}

// A uniformly random index is a uniformly random digit in every list, so a group of any size
// is drawn from without arithmetic on its size; a repeat (vanishingly rare in such a group) is
// drawn again.
DigitRows random_digit_rows(const std::vector<std::uint64_t>& lengths, std::uint64_t count,
                            common::SeededRandom& random) {
  DigitRows rows(lengths.size());
  rows.reserve(count);
  RowCounts held;
  std::vector<std::uint64_t> digits(lengths.size());
  while (rows.size() < count) {
    for (std::size_t c = 0; c < lengths.size(); ++c) digits[c] = random.below(lengths[c]);
    if (held.add(digits)) rows.push_back(digits);
  }
  return rows;
}

DigitRows random_rows(const std::vector<std::uint64_t>& lengths, std::uint64_t count,
                      const std::optional<std::uint64_t>& group_size,
                      common::SeededRandom& random) {
  if (!group_size) return random_digit_rows(lengths, count, random);
  // Within 64 bits the sample may be most of the group, where drawing again would crawl;
  // Floyd's algorithm takes one draw per combination however full the sample gets.
  auto indices = random.choose_distinct(*group_size, count);
  std::sort(indices.begin(), indices.end());
  return rows_at(indices, lengths);
}

DigitRows balanced_sample_rows(const std::vector<std::uint64_t>& lengths, std::uint64_t count,
                               const std::optional<std::uint64_t>& group_size,
                               common::SeededRandom& random) {
  if (!group_size || count <= *group_size - count) {
    return balanced_rows(lengths, count, random).rows;
  }
  // The rest of a group is balanced when the part left out is, so a sample of more than half a
  // group is the complement of a balanced choice of what to leave out, which has room to repair.
  const DigitRows left_out = balanced_rows(lengths, *group_size - count, random).rows;
  std::vector<std::uint64_t> indices;
  indices.reserve(left_out.size());
  for (std::size_t r = 0; r < left_out.size(); ++r) {
    indices.push_back(*index_of(left_out.row(r), lengths).to_u64());
  }
  return rows_at(complement(std::move(indices), *group_size), lengths);
}

CombinationSample in_index_order(DigitRows rows, const std::vector<std::uint64_t>& lengths) {
  rows.sort();
  std::vector<common::BigCount> indices;
  indices.reserve(rows.size());
  for (std::size_t r = 0; r < rows.size(); ++r) indices.push_back(index_of(rows.row(r), lengths));
  return CombinationSample(std::move(rows), std::move(indices));
}

}  // namespace

std::string_view sample_method_name(SampleMethod method) {
  return method == SampleMethod::Balanced ? "balanced" : "random";
}

std::optional<SampleMethod> parse_sample_method(std::string_view name) {
  if (name == "random") return SampleMethod::Random;
  if (name == "balanced") return SampleMethod::Balanced;
  return std::nullopt;
}

CombinationSample choose_sample(const std::vector<std::uint64_t>& lengths,
                                const SampleRequest& request) {
  const common::BigCount size = common::product_of(lengths);
  const std::optional<std::uint64_t> group_size = size.to_u64();
  if (size <= common::BigCount(request.size)) {
    return in_index_order(every_row(lengths, *group_size), lengths);
  }
  common::SeededRandom random(request.seed);
  DigitRows rows = request.method == SampleMethod::Balanced
                       ? balanced_sample_rows(lengths, request.size, group_size, random)
                       : random_rows(lengths, request.size, group_size, random);
  return in_index_order(std::move(rows), lengths);
}

std::string sample_message(std::uint64_t chosen, const common::BigCount& group_size,
                           std::string_view group, const SampleRequest& request) {
  return "Sample: " + std::to_string(chosen) + " of " + group_size.decimal() +
         " combinations of group " + std::string(group) + " (" +
         std::string(sample_method_name(request.method)) + ", seed " +
         std::to_string(request.seed) + ")";
}

}  // namespace native_runner

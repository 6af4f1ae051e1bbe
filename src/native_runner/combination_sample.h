#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/big_count.h"
#include "native_runner/digit_rows.h"

namespace native_runner {

enum class SampleMethod {
  Random,    // every set of N combinations equally likely
  Balanced,  // every value of every list about equally often, paired at random
};

// "random" or "balanced".
std::string_view sample_method_name(SampleMethod method);
// The method of that name; nothing for any other text.
std::optional<SampleMethod> parse_sample_method(std::string_view name);

struct SampleRequest {
  std::uint64_t size = 1;  // N, at least 1
  std::uint64_t seed = 1;
  SampleMethod method = SampleMethod::Random;

  friend bool operator==(const SampleRequest&, const SampleRequest&) = default;
};

// The combinations chosen from one group, in ascending index order, each with its digits (the
// position of its value in each list, first list first) and its index in the whole group (the
// first list varies slowest, as the full enumeration counts them).
class CombinationSample {
 public:
  CombinationSample(DigitRows rows, std::vector<common::BigCount> indices)
      : rows_(std::move(rows)), indices_(std::move(indices)) {}

  std::size_t size() const { return rows_.size(); }
  std::span<const std::uint64_t> digits(std::size_t row) const { return rows_.row(row); }
  const common::BigCount& index(std::size_t row) const { return indices_[row]; }

 private:
  DigitRows rows_;
  std::vector<common::BigCount> indices_;
};

// Chooses from the group whose lists have these lengths: all of its combinations when there are
// at most `request.size`, otherwise `request.size` distinct ones drawn from the seed by the
// request's method. The same lengths and request give the same combinations on every platform.
// Time and memory grow with N and the number of lists, not with the size of the group, except
// that a balanced sample of more than half a group enumerates the group. A list of length 0
// leaves nothing to choose.
CombinationSample choose_sample(const std::vector<std::uint64_t>& lengths,
                                const SampleRequest& request);

// "Sample: {n} of {total} combinations of group {group} ({method}, seed {S})": what the batch
// says at the start of a sampled group, on the console and in its processing log.
std::string sample_message(std::uint64_t chosen, const common::BigCount& group_size,
                           std::string_view group, const SampleRequest& request);

}  // namespace native_runner

#include "native_runner/combination_sample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "common/seeded_random.h"
#include "native_runner/balanced_sample.h"
#include "support/decimal_text.h"

namespace native_runner {
namespace {

using Lengths = std::vector<std::uint64_t>;
using Numbers = std::vector<std::uint64_t>;

constexpr SampleMethod kMethods[] = {SampleMethod::Random, SampleMethod::Balanced};

std::uint64_t group_size(const Lengths& lengths) {
  std::uint64_t size = 1;
  for (std::uint64_t length : lengths) size *= length;
  return size;
}

// The index from the digits in plain 64-bit arithmetic, apart from the code under test.
std::uint64_t plain_index(std::span<const std::uint64_t> digits, const Lengths& lengths) {
  std::uint64_t index = 0;
  for (std::size_t i = 0; i < digits.size(); ++i) index = index * lengths[i] + digits[i];
  return index;
}

Numbers indices_of(const CombinationSample& sample) {
  Numbers indices;
  for (std::size_t r = 0; r < sample.size(); ++r) indices.push_back(*sample.index(r).to_u64());
  return indices;
}

// How often each value of list `list` appears in the sample.
std::map<std::uint64_t, std::uint64_t> value_counts(const CombinationSample& sample,
                                                    std::size_t list) {
  std::map<std::uint64_t, std::uint64_t> counts;
  for (std::size_t r = 0; r < sample.size(); ++r) ++counts[sample.digits(r)[list]];
  return counts;
}

void expect_balanced(const CombinationSample& sample, const Lengths& lengths,
                     const std::string& label) {
  const std::uint64_t n = sample.size();
  for (std::size_t list = 0; list < lengths.size(); ++list) {
    const auto counts = value_counts(sample, list);
    for (std::uint64_t value = 0; value < lengths[list]; ++value) {
      const std::uint64_t seen = counts.contains(value) ? counts.at(value) : 0;
      EXPECT_GE(seen, n / lengths[list]) << label << " list " << list << " value " << value;
      EXPECT_LE(seen, (n + lengths[list] - 1) / lengths[list])
          << label << " list " << list << " value " << value;
    }
  }
}

// Random groups: single lists, lists of length 1, many short lists; sample sizes from one to
// beyond the group.
TEST(ChooseSample, DistinctAscendingInRangeAndBalancedForEveryShape) {
  std::mt19937_64 engine(2024);
  int differing_seeds = 0;
  int seed_comparisons = 0;
  for (int trial = 0; trial < 300; ++trial) {
    Lengths lengths(1 + engine() % (trial % 3 == 0 ? 12 : 4));
    for (auto& length : lengths) length = 1 + engine() % (lengths.size() > 6 ? 3 : 7);
    const std::uint64_t size = group_size(lengths);
    const std::uint64_t n = 1 + engine() % std::min<std::uint64_t>(size + 2, 3000);
    const std::uint64_t seed = engine() % 1000;
    for (SampleMethod method : kMethods) {
      const std::string label = "trial " + std::to_string(trial) + " " +
                                std::string(sample_method_name(method)) +
                                " N=" + std::to_string(n) + " of " + std::to_string(size);
      const SampleRequest request{n, seed, method};
      const CombinationSample sample = choose_sample(lengths, request);
      ASSERT_EQ(sample.size(), std::min(n, size)) << label;
      const Numbers indices = indices_of(sample);
      EXPECT_TRUE(std::adjacent_find(indices.begin(), indices.end(), std::greater_equal<>()) ==
                  indices.end())
          << label;
      for (std::size_t r = 0; r < sample.size(); ++r) {
        const auto digits = sample.digits(r);
        for (std::size_t i = 0; i < lengths.size(); ++i) ASSERT_LT(digits[i], lengths[i]) << label;
        EXPECT_EQ(indices[r], plain_index(digits, lengths)) << label;
      }
      if (method == SampleMethod::Balanced) expect_balanced(sample, lengths, label);

      EXPECT_EQ(indices_of(choose_sample(lengths, request)), indices) << label;
      if (size >= 2 * n && size >= 20) {
        ++seed_comparisons;
        differing_seeds += indices_of(choose_sample(lengths, {n, seed + 1, method})) != indices;
      }
    }
  }
  EXPECT_GE(differing_seeds * 10, seed_comparisons * 9)
      << differing_seeds << " of " << seed_comparisons;
}

// For 3 lists of lengths 4, 3 and 2 (the README's example), sample 6 with seed 1.
TEST(ChooseSample, PinnedResultsOfOneSmallGroup) {
  const Lengths lengths = {4, 3, 2};
  EXPECT_EQ(indices_of(choose_sample(lengths, {6, 1, SampleMethod::Random})),
            (Numbers{2, 8, 10, 11, 21, 22}));
  EXPECT_EQ(indices_of(choose_sample(lengths, {6, 1, SampleMethod::Balanced})),
            (Numbers{4, 7, 10, 14, 15, 19}));
  EXPECT_EQ(indices_of(choose_sample(lengths, {6, 2, SampleMethod::Balanced})),
            (Numbers{3, 10, 12, 17, 18, 21}));
  // More than half the group: the balanced sample is what a balanced choice leaves out.
  EXPECT_EQ(indices_of(choose_sample(lengths, {20, 1, SampleMethod::Balanced})),
            (Numbers{1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14, 15, 16, 18, 19, 20, 22, 23}));
  EXPECT_EQ(indices_of(choose_sample(lengths, {20, 1, SampleMethod::Random})),
            (Numbers{0, 1, 2, 3, 4, 6, 7, 8, 9, 10, 11, 12, 13, 15, 17, 18, 19, 20, 21, 23}));
}

// Every pair of a 3 x 2 group should come out equally often over many seeds.
TEST(ChooseSample, RandomMakesEverySetEquallyLikely) {
  std::map<Numbers, int> seen;
  constexpr int kSeeds = 15000;
  for (std::uint64_t seed = 0; seed < kSeeds; ++seed) {
    ++seen[indices_of(choose_sample({3, 2}, {2, seed, SampleMethod::Random}))];
  }
  ASSERT_EQ(seen.size(), 15u);
  // 1,000 expected per set; the bounds are about five standard deviations.
  for (const auto& [set, times] : seen) {
    EXPECT_GT(times, 850) << set[0] << "," << set[1];
    EXPECT_LT(times, 1150) << set[0] << "," << set[1];
  }
}

TEST(ChooseSample, SpacesBeyondSixtyFourBitsKeepExactIndices) {
  const struct {
    std::size_t lists;
    std::uint64_t n;
  } kRows[] = {{15, 100}, {40, 1000}};
  for (const auto& row : kRows) {
    const Lengths lengths(row.lists, 30);
    for (SampleMethod method : kMethods) {
      const CombinationSample sample = choose_sample(lengths, {row.n, 5, method});
      ASSERT_EQ(sample.size(), row.n);
      for (std::size_t r = 0; r < sample.size(); ++r) {
        std::string index = "0";
        for (std::uint64_t digit : sample.digits(r)) {
          index = test_support::decimal_multiply_add(index, 30, digit);
        }
        EXPECT_EQ(sample.index(r).decimal(), index);
        if (r > 0) {
          EXPECT_LT(sample.index(r - 1), sample.index(r));
        }
      }
      if (method == SampleMethod::Balanced) expect_balanced(sample, lengths, "beyond 64 bits");
    }
  }
  // The reference implementation's picks for 3 of 30^15 with seed 1.
  const CombinationSample three = choose_sample(Lengths(15, 30), {3, 1, SampleMethod::Random});
  EXPECT_EQ(three.index(0).decimal(), "3709872563772840499611");
  EXPECT_EQ(three.index(2).decimal(), "9173384681872867837979");
}

// When swaps are not allowed to separate repeated rows, each is replaced by an unused
// combination, and balance gives way by at most one per replaced row.
TEST(BalancedRows, DistinctnessWinsOverBalance) {
  const Lengths lengths = {2, 3, 4};
  std::size_t replaced = 0;
  for (std::uint64_t seed = 0; seed < 20; ++seed) {
    common::SeededRandom random(seed);
    const BalancedRows drawn = balanced_rows(lengths, 12, random, 0);
    replaced += drawn.replaced;
    std::set<Numbers> distinct;
    for (std::size_t r = 0; r < drawn.rows.size(); ++r) {
      const auto digits = drawn.rows.row(r);
      distinct.emplace(digits.begin(), digits.end());
    }
    EXPECT_EQ(distinct.size(), 12u) << seed;
    for (std::size_t list = 0; list < lengths.size(); ++list) {
      std::map<std::uint64_t, std::uint64_t> counts;
      for (const Numbers& row : distinct) ++counts[row[list]];
      for (std::uint64_t value = 0; value < lengths[list]; ++value) {
        EXPECT_LE(counts[value], 12 / lengths[list] + drawn.replaced) << seed << " " << list;
        EXPECT_GE(counts[value] + drawn.replaced, 12 / lengths[list]) << seed << " " << list;
      }
    }
  }
  EXPECT_GT(replaced, 0u);
}

TEST(SampleMethod, NamesReadBackAndTheMessageSaysWhatWasChosen) {
  for (SampleMethod method : kMethods) {
    EXPECT_EQ(parse_sample_method(sample_method_name(method)), method);
  }
  EXPECT_EQ(parse_sample_method("Random"), std::nullopt);
  EXPECT_EQ(parse_sample_method(""), std::nullopt);
  EXPECT_EQ(sample_message(100, common::product_of(Lengths(15, 30)), "north",
                           {100, 7, SampleMethod::Balanced}),
            "Sample: 100 of 14348907000000000000000 combinations of group north (balanced, "
            "seed 7)");
}

}  // namespace
}  // namespace native_runner

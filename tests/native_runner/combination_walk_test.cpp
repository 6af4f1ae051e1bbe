#include "native_runner/combination_walk.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "native_runner/shard.h"

namespace native_runner {
namespace {

using Names = std::vector<std::string>;

std::vector<ParameterList> lists_of(const std::vector<std::size_t>& lengths) {
  std::vector<ParameterList> lists;
  for (std::size_t i = 0; i < lengths.size(); ++i) {
    ParameterList list{"key" + std::to_string(i), {}};
    for (std::size_t v = 0; v < lengths[i]; ++v) list.values.push_back(std::to_string(i * 100 + v));
    lists.push_back(list);
  }
  return lists;
}

// "index:value,value,..." for every combination the walk visits.
Names visit(CombinationWalk& walk) {
  Names seen;
  for (std::uint64_t position = 0; walk.has_current(); walk.advance(), ++position) {
    EXPECT_EQ(walk.position(), position);
    std::string line = walk.index().decimal() + ":";
    for (std::string_view value : walk.current()) line += std::string(value) + ",";
    seen.push_back(line);
  }
  EXPECT_FALSE(walk.advance());
  return seen;
}

Names odometer_lines(const std::vector<ParameterList>& lists) {
  Names lines;
  CombinationOdometer odometer(lists);
  for (std::uint64_t i = 0; odometer.has_current(); ++i, odometer.advance()) {
    std::string line = std::to_string(i) + ":";
    for (std::string_view value : odometer.current()) line += std::string(value) + ",";
    lines.push_back(line);
  }
  return lines;
}

TEST(SelectCombinations, VisitsEveryCombinationUnlessTheGroupIsLargerThanTheSample) {
  const struct {
    std::vector<std::size_t> lengths;
    std::optional<SampleRequest> request;
    bool sampled;
  } kRows[] = {
      {{2, 3}, std::nullopt, false},
      {{}, std::nullopt, false},
      {{4, 0, 2}, std::nullopt, false},
      {{2, 3}, SampleRequest{6, 1, SampleMethod::Random}, false},
      {{2, 3}, SampleRequest{100, 1, SampleMethod::Balanced}, false},
      {{4, 0, 2}, SampleRequest{1, 1, SampleMethod::Random}, false},
      {{4, 3, 2}, SampleRequest{6, 1, SampleMethod::Random}, true},
      {{4, 3, 2}, SampleRequest{6, 1, SampleMethod::Balanced}, true},
  };
  for (const auto& row : kRows) {
    const auto lists = lists_of(row.lengths);
    auto selection = select_combinations(lists, row.request);
    ASSERT_TRUE(selection.has_value());
    EXPECT_EQ(selection->sampled, row.sampled);
    const Names seen = visit(selection->walk);
    EXPECT_EQ(seen.size(), selection->visited);
    const Names every = odometer_lines(lists);
    EXPECT_EQ(selection->group_size, common::BigCount(every.size()));
    if (!row.sampled) {
      EXPECT_EQ(seen, every);
      continue;
    }
    // A sample visits the odometer's lines at the chosen indices.
    const CombinationSample sample = choose_sample(list_lengths(lists), *row.request);
    ASSERT_EQ(seen.size(), sample.size());
    for (std::size_t r = 0; r < sample.size(); ++r) {
      EXPECT_EQ(seen[r], every[*sample.index(r).to_u64()]);
    }
  }
}

TEST(SelectCombinations, BeyondSixtyFourBitsOnlyASampleCanBeWalked) {
  const auto lists = lists_of(std::vector<std::size_t>(15, 30));
  const auto every = select_combinations(lists, std::nullopt);
  ASSERT_FALSE(every.has_value());
  EXPECT_EQ(every.error(), count_combinations(lists).error());

  auto sample = select_combinations(lists, SampleRequest{3, 1, SampleMethod::Random});
  ASSERT_TRUE(sample.has_value());
  EXPECT_EQ(sample->group_size.decimal(), "14348907000000000000000");
  EXPECT_EQ(model_name("north", sample->walk.index()), "north_3709872563772840499611");
  EXPECT_EQ(result_directory_name("batch", "north", sample->walk.index()),
            "result_batch_north_3709872563772840499611");
  EXPECT_EQ(visit(sample->walk).size(), 3u);
}

// The batch counts every visited combination of every group towards one sequence; each shard
// takes every count-th of it, so together the shards run the sample exactly once.
TEST(SelectCombinations, ShardsSplitTheSample) {
  const std::vector<std::vector<std::size_t>> groups = {{4, 3, 2}, {2}, {5, 5, 5}, {30, 30, 30}};
  for (SampleMethod method : {SampleMethod::Random, SampleMethod::Balanced}) {
    const SampleRequest request{7, 3, method};
    Names whole;
    for (std::size_t g = 0; g < groups.size(); ++g) {
      const auto lists = lists_of(groups[g]);
      auto selection = select_combinations(lists, request);
      for (const std::string& line : visit(selection->walk)) {
        whole.push_back(std::to_string(g) + "/" + line);
      }
    }
    for (std::uint64_t count = 1; count <= 4; ++count) {
      Names joined(whole.size());
      std::vector<int> owners(whole.size(), 0);
      for (std::uint64_t index = 0; index < count; ++index) {
        std::uint64_t sequence_number = 0;
        for (std::size_t g = 0; g < groups.size(); ++g) {
          const auto lists = lists_of(groups[g]);
          auto selection = select_combinations(lists, request);
          for (const std::string& line : visit(selection->walk)) {
            const std::uint64_t n = sequence_number++;
            if (!in_shard(n, Shard{index, count})) continue;
            joined[n] = std::to_string(g) + "/" + line;
            ++owners[n];
          }
        }
      }
      EXPECT_EQ(joined, whole) << count << " shards";
      EXPECT_EQ(owners, std::vector<int>(whole.size(), 1)) << count << " shards";
    }
  }
}

}  // namespace
}  // namespace native_runner

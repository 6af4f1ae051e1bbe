#include "native_runner/combination_walk.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
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

// The combinations one shard of a batch over these groups visits, by batch-wide sequence number.
std::map<std::uint64_t, std::string> shard_lines(
    const std::vector<std::vector<std::size_t>>& groups, const SampleRequest& request,
    const Shard& shard) {
  std::map<std::uint64_t, std::string> lines;
  std::uint64_t sequence_number = 0;
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const auto lists = lists_of(groups[g]);
    auto selection = select_combinations(lists, request);
    for (const std::string& line : visit(selection->walk)) {
      if (in_shard(sequence_number, shard)) lines[sequence_number] = std::to_string(g) + "/" + line;
      ++sequence_number;
    }
  }
  return lines;
}

// Each shard chooses the samples again on its own and takes every count-th combination visited,
// so together the shards run the whole sample exactly once.
TEST(SelectCombinations, ShardsSplitTheSample) {
  const std::vector<std::vector<std::size_t>> groups = {{4, 3, 2}, {2}, {5, 5, 5}, {30, 30, 30}};
  for (SampleMethod method : {SampleMethod::Random, SampleMethod::Balanced}) {
    const SampleRequest request{7, 3, method};
    const auto whole = shard_lines(groups, request, Shard{0, 1});
    EXPECT_EQ(whole.size(), 7u + 2u + 7u + 7u);
    for (std::uint64_t count = 2; count <= 4; ++count) {
      std::map<std::uint64_t, std::string> joined;
      for (std::uint64_t index = 0; index < count; ++index) {
        for (const auto& entry : shard_lines(groups, request, Shard{index, count})) {
          EXPECT_TRUE(joined.insert(entry).second) << entry.second << " in two shards";
        }
      }
      EXPECT_EQ(joined, whole) << count << " shards";
    }
  }
}

}  // namespace
}  // namespace native_runner

#include "native_runner/shard.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace native_runner {
namespace {

using Numbers = std::vector<std::uint64_t>;

Numbers members(std::uint64_t combinations, const Shard& shard) {
  Numbers taken;
  for (std::uint64_t n = 0; n < combinations; ++n) {
    if (in_shard(n, shard)) taken.push_back(n);
  }
  return taken;
}

TEST(Shard, EveryCombinationFallsInExactlyOneShardOfBalancedSize) {
  for (std::uint64_t combinations : {0u, 1u, 6u, 7u}) {
    for (std::uint64_t count = 1; count <= combinations + 2; ++count) {
      std::vector<int> owners(combinations, 0);
      for (std::uint64_t index = 0; index < count; ++index) {
        const Numbers taken = members(combinations, Shard{index, count});
        for (std::uint64_t n : taken) ++owners[n];
        // Shares differ by at most one combination, so no shard holds up the whole array.
        const std::uint64_t fair = combinations / count;
        EXPECT_GE(taken.size(), fair) << index << "/" << count << " of " << combinations;
        EXPECT_LE(taken.size(), fair + 1) << index << "/" << count << " of " << combinations;
      }
      for (std::uint64_t n = 0; n < combinations; ++n) {
        EXPECT_EQ(owners[n], 1) << "combination " << n << " with " << count << " shards";
      }
    }
  }
}

TEST(Shard, TakesEveryNthCombinationStartingAtItsIndex) {
  const struct {
    Shard shard;
    Numbers expected;
  } kRows[] = {
      {{0, 1}, {0, 1, 2, 3, 4, 5}},
      {{0, 4}, {0, 4}},
      {{1, 4}, {1, 5}},
      {{3, 4}, {3}},
      {{2, 3}, {2, 5}},
      {{6, 7}, {}},
  };
  for (const auto& row : kRows) {
    EXPECT_EQ(members(6, row.shard), row.expected) << row.shard.index << "/" << row.shard.count;
  }
}

TEST(Shard, ParsesIndexOverCount) {
  const struct {
    const char* text;
    Shard expected;
  } kRows[] = {
      {"0/1", {0, 1}},
      {"2/3", {2, 3}},
      {"3/8", {3, 8}},
      {"007/08", {7, 8}},
      {"18446744073709551614/18446744073709551615",
       {18446744073709551614u, 18446744073709551615u}},
  };
  for (const auto& row : kRows) {
    const auto shard = parse_shard(row.text);
    ASSERT_TRUE(shard) << row.text << ": " << shard.error().message;
    EXPECT_EQ(*shard, row.expected) << row.text;
  }
}

TEST(Shard, RefusesAnythingButIndexBelowCount) {
  const char* const kBad[] = {"3/3",   "-1/2", "a/b",  "2",     "",      "/",
                              "1/",    "/2",   "0/0",  "1/2/3", " 1/2",  "1/2 ",
                              "+1/2",  "1/+2", "1.0/2", "0x1/2", "1 /2", "0/18446744073709551616",
                              "5/2",   "1\\2"};
  for (const char* text : kBad) {
    const auto shard = parse_shard(text);
    ASSERT_FALSE(shard) << '"' << text << '"';
    EXPECT_EQ(shard.error().message, "Invalid shard '" + std::string(text) +
                                         "': expected K/N, two whole numbers with 0 <= K < N");
  }
}

TEST(Shard, JobIdNamesIndexAndCount) {
  EXPECT_EQ(shard_job_id("native_test", Shard{3, 8}), "native_test_shard_3_of_8");
  EXPECT_EQ(shard_job_id("native_test", Shard{0, 1}), "native_test_shard_0_of_1");
  EXPECT_EQ(shard_job_id("", Shard{12, 100}), "_shard_12_of_100");
}

}  // namespace
}  // namespace native_runner

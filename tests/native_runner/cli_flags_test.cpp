#include "native_runner/cli_flags.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace native_runner {
namespace {

using Args = std::vector<std::string>;

// The engine's option strings in the order it expects them.
const Args kOptions = {"--fhs-compliance",
                       "--fhs-assumptions",
                       "--fhs-fee-assumptions",
                       "--fhs-not-a-assumptions",
                       "--fhs-not-b-assumptions",
                       "--fhs-fee-not-a-assumptions",
                       "--fhs-fee-not-b-assumptions",
                       "--heat-balance",
                       "--detailed-output-heating-cooling",
                       "--pre-process-only"};

TEST(CliFlags, EveryOptionRoundTripsAndOwnsADistinctFlag) {
  CliFlags seen;
  for (const std::string& name : kOptions) {
    const CliFlags flags = cli_flag_from_name(name);
    EXPECT_FALSE(flags.empty()) << name;
    EXPECT_EQ(cli_flags_to_args(flags), Args{name}) << name;
    EXPECT_TRUE((seen.bits & flags.bits) == 0) << name << " shares a flag with an earlier option";
    seen = seen | flags;
  }
}

TEST(CliFlags, OnlyExactNamesAreKnown) {
  const char* const kUnknown[] = {"--Heat-Balance",  "--HEAT-BALANCE", " --heat-balance",
                                  "--heat-balance ", "heat-balance",   "",
                                  "--heat",          "--fhs"};
  for (const char* name : kUnknown) {
    EXPECT_TRUE(cli_flag_from_name(name).empty()) << '"' << name << '"';
  }
}

// Combined in any order, the options come out in the engine's order; flags that no option owns
// add nothing.
TEST(CliFlags, ArgsFollowTheEngineOrderWhateverTheCombination) {
  CliFlags all;
  for (auto name = kOptions.rbegin(); name != kOptions.rend(); ++name) {
    all = all | cli_flag_from_name(*name);
  }
  EXPECT_EQ(cli_flags_to_args(all), kOptions);
  EXPECT_EQ(cli_flags_to_args(CliFlags{~all.bits}), Args{});

  const struct {
    Args names;
    Args expected;
  } kRows[] = {
      {{}, {}},
      {{"--pre-process-only", "--fhs-compliance"}, {"--fhs-compliance", "--pre-process-only"}},
      {{"--pre-process-only", "--detailed-output-heating-cooling", "--heat-balance"},
       {"--heat-balance", "--detailed-output-heating-cooling", "--pre-process-only"}},
      {{"--fhs-fee-not-b-assumptions", "--fhs-assumptions"},
       {"--fhs-assumptions", "--fhs-fee-not-b-assumptions"}},
  };
  for (const auto& row : kRows) {
    CliFlags flags{~all.bits};
    for (const std::string& name : row.names) flags = flags | cli_flag_from_name(name);
    EXPECT_EQ(cli_flags_to_args(flags), row.expected);
  }
}

}  // namespace
}  // namespace native_runner

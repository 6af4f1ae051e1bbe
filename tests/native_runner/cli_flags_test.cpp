#include "native_runner/cli_flags.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace native_runner {
namespace {

using Args = std::vector<std::string>;

TEST(CliFlags, EveryOptionRoundTripsToItsOwnBit) {
  const struct {
    const char* name;
    std::uint32_t bit;
  } kRows[] = {
      {"--fhs-compliance", 0x4000},
      {"--fhs-assumptions", 0x100},
      {"--fhs-fee-assumptions", 0x200},
      {"--fhs-not-a-assumptions", 0x400},
      {"--fhs-not-b-assumptions", 0x800},
      {"--fhs-fee-not-a-assumptions", 0x1000},
      {"--fhs-fee-not-b-assumptions", 0x2000},
      {"--heat-balance", 0x2},
      {"--detailed-output-heating-cooling", 0x4},
      {"--pre-process-only", 0x1},
  };
  for (const auto& row : kRows) {
    const CliFlags flags = cli_flag_from_name(row.name);
    EXPECT_EQ(flags.bits, row.bit) << row.name;
    EXPECT_EQ(cli_flags_to_args(flags), Args{row.name}) << row.name;
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

TEST(CliFlags, ArgsFollowTableOrderAndIgnoreBitsWithoutOption) {
  const struct {
    std::uint32_t bits;
    Args expected;
  } kRows[] = {
      {0x0, {}},
      {0x8, {}},
      {0x80 | 0x8000 | 0x80000000u, {}},
      {0x1 | 0x4000, {"--fhs-compliance", "--pre-process-only"}},
      {0x1 | 0x2 | 0x4,
       {"--heat-balance", "--detailed-output-heating-cooling", "--pre-process-only"}},
      {0x2000 | 0x100 | 0x8, {"--fhs-assumptions", "--fhs-fee-not-b-assumptions"}},
  };
  for (const auto& row : kRows) {
    EXPECT_EQ(cli_flags_to_args(CliFlags{row.bits}), row.expected) << std::hex << row.bits;
  }
}

}  // namespace
}  // namespace native_runner

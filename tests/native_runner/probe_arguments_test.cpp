#include "native_runner/probe_arguments.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace native_runner {
namespace {

using Words = std::vector<std::string>;

const std::string kUsage =
    "Usage: probe [--simulation] <config_path> <output_dir>\n"
    "  --simulation: Run full simulation (default: JSON-only mode)\n";
const std::string kJobsUsage =
    "Usage: probe [--simulation] [--jobs N] [--shard K/N] [--keep-going] [--resume] "
    "[--keep-outputs PATTERN]... [--timeout SECONDS] [--retries N] [--sample N] [--seed S] "
    "[--sample-method METHOD] <config_path> <output_dir>\n"
    "  --simulation: Run full simulation (default: JSON-only mode)\n"
    "  --jobs N: up to N engine runs (or variant builds) at once; N a positive integer up to "
    "1024, or auto for the number of hardware threads\n"
    "  --shard K/N: only the combinations whose number in the batch is K modulo N\n"
    "  --keep-going: a failed simulation ends only its combination, not the batch\n"
    "  --resume: skip the simulations that already succeeded with the same inputs\n"
    "  --keep-outputs PATTERN: keep only the engine's output files that match PATTERN (given "
    "again: any of them), e.g. *.csv or reports/**/*.json; none keeps only stdout.txt and "
    "stderr.txt\n"
    "  --timeout SECONDS: end an engine run still going after SECONDS (decimals allowed) and "
    "record it as failed\n"
    "  --retries N: start an engine run that failed again, up to N more times (default 0)\n"
    "  --sample N: in a group of more than N combinations, only N of them, chosen from the seed "
    "(each keeps its index, name and result directory)\n"
    "  --seed S: with --sample: the seed the sample is chosen from (default 1)\n"
    "  --sample-method METHOD: with --sample: random (default: every set of N equally likely) or "
    "balanced (every value of every list about equally often)\n";
const std::string kExpected = " (expected a positive integer up to 1024, or auto)\n";
std::string bad_shard(const std::string& value) {
  return "[ensemble_probe] Invalid shard '" + value +
         "': expected K/N, two whole numbers with 0 <= K < N\n";
}

std::string bad_timeout(const std::string& value) {
  return "[ensemble_probe] Invalid value for --timeout: '" + value +
         "' (expected a positive number of seconds)\n";
}

TEST(ProbeArguments, AcceptedCommandLines) {
  const struct {
    Words args;
    ProbeArguments expected;
  } kRows[] = {
      // Without --jobs, the historical rules, quirks included.
      {{"c.json", "out"}, {"c.json", "out", true, 1}},
      {{"--simulation", "c.json", "out"}, {"c.json", "out", false, 1}},
      {{"c.json", "out", "ignored"}, {"c.json", "out", true, 1}},
      {{"--simulation", "out"}, {"--simulation", "out", true, 1}},
      {{"--Simulation", "c.json", "out"}, {"--Simulation", "c.json", true, 1}},
      // With it, options in any order before the two paths.
      {{"--jobs", "4", "c.json", "out"}, {"c.json", "out", true, 4}},
      {{"--jobs=2", "--simulation", "c.json", "out"}, {"c.json", "out", false, 2}},
      {{"--simulation", "--jobs", "1", "c.json", "out"}, {"c.json", "out", false, 1}},
      {{"--jobs", "3", "--jobs=1024", "c.json", "out"}, {"c.json", "out", true, 1024}},
      {{"--jobs", "auto", "c.json", "out"}, {"c.json", "out", true, 6}},
      {{"--jobs=007", "--", "out"}, {"--", "out", true, 7}},
      // A shard alone also switches to the option rules.
      {{"--shard", "0/1", "c.json", "out"}, {"c.json", "out", true, 1, Shard{0, 1}}},
      {{"--shard=2/3", "--simulation", "c.json", "out"}, {"c.json", "out", false, 1, Shard{2, 3}}},
      {{"--jobs", "2", "--shard", "7/8", "--simulation", "c.json", "out"},
       {"c.json", "out", false, 2, Shard{7, 8}}},
      {{"--shard", "0/2", "--shard=1/2", "c.json", "out"}, {"c.json", "out", true, 1, Shard{1, 2}}},
      // The recovery options alone also switch to options-then-two-paths.
      {{"--keep-going", "c.json", "out"}, {"c.json", "out", true, 1, std::nullopt, true, false}},
      {{"--resume", "--simulation", "c.json", "out"},
       {"c.json", "out", false, 1, std::nullopt, false, true}},
      {{"--simulation", "--resume", "--jobs=4", "--keep-going", "c.json", "out"},
       {"c.json", "out", false, 4, std::nullopt, true, true}},
      {{"--resume", "--shard=1/3", "--keep-going", "c.json", "out"},
       {"c.json", "out", true, 1, Shard{1, 3}, true, true}},
      // After the paths, a third word is ignored as it always was.
      {{"c.json", "out", "--resume"}, {"c.json", "out", true, 1, std::nullopt, false, false}},
  };
  for (const auto& row : kRows) {
    Words words{"probe"};
    words.insert(words.end(), row.args.begin(), row.args.end());
    const auto parsed = parse_probe_arguments(words, 6);
    ASSERT_TRUE(parsed.has_value()) << words.size() << ": " << parsed.error().message;
    EXPECT_EQ(parsed->config_path, row.expected.config_path);
    EXPECT_EQ(parsed->output_dir, row.expected.output_dir);
    EXPECT_EQ(parsed->json_only, row.expected.json_only);
    EXPECT_EQ(parsed->jobs, row.expected.jobs);
    EXPECT_EQ(parsed->shard, row.expected.shard);
    EXPECT_EQ(parsed->keep_going, row.expected.keep_going);
    EXPECT_EQ(parsed->resume, row.expected.resume);
    EXPECT_EQ(parsed->engine_runs, EngineRunPolicy{});
  }
}

std::vector<common::PathPattern> patterns(const std::vector<std::string>& texts) {
  std::vector<common::PathPattern> parsed;
  for (const auto& text : texts) parsed.push_back(common::PathPattern::parse(text).value());
  return parsed;
}

// How engine runs go: each option alone switches to options-then-two-paths, as --jobs does.
TEST(ProbeArguments, EngineRunOptions) {
  using std::chrono::milliseconds;
  const struct {
    Words args;
    EngineRunPolicy expected;
  } kRows[] = {
      {{"--timeout", "1"}, {milliseconds(1000), 0, {}}},
      {{"--timeout=0.25", "--retries", "2"}, {milliseconds(250), 2, {}}},
      {{"--timeout", ".5"}, {milliseconds(500), 0, {}}},
      {{"--timeout", "0.0001"}, {milliseconds(1), 0, {}}},
      {{"--retries=0"}, {std::nullopt, 0, {}}},
      {{"--keep-outputs", "*.csv", "--keep-outputs=out/**/summary.json"},
       {std::nullopt, 0, {false, patterns({"*.csv", "out/**/summary.json"})}}},
      {{"--keep-outputs", "none"}, {std::nullopt, 0, {false, {}}}},
  };
  for (const auto& row : kRows) {
    Words words{"probe"};
    words.insert(words.end(), row.args.begin(), row.args.end());
    words.insert(words.end(), {"c.json", "out"});
    const auto parsed = parse_probe_arguments(words, 6);
    ASSERT_TRUE(parsed.has_value()) << row.args[0] << ": " << parsed.error().message;
    EXPECT_EQ(parsed->config_path, "c.json");
    EXPECT_EQ(parsed->engine_runs, row.expected) << row.args[0];
  }
}

TEST(ProbeArguments, RefusedCommandLinesSayWhy) {
  const struct {
    Words args;
    std::string error;
  } kRows[] = {
      {{}, kUsage},
      {{"c.json"}, kUsage},
      {{"--simulation", "c.json", "out", "x"}, kUsage},
      // After the paths --jobs is just one word too many.
      {{"c.json", "out", "--jobs", "2"}, kUsage},
      {{"--jobs", "2", "c.json"}, kJobsUsage},
      {{"--jobs", "2", "c.json", "out", "extra"}, kJobsUsage},
      {{"--resume", "c.json"}, kJobsUsage},
      {{"--keep-going", "--resume", "c.json", "out", "extra"}, kJobsUsage},
      {{"--resume", "--jobs"}, "[ensemble_probe] Missing value for --jobs" + kExpected},
      {{"--jobs", "0", "c.json", "out"},
       "[ensemble_probe] Invalid value for --jobs: '0'" + kExpected},
      {{"--jobs", "-2", "c.json", "out"},
       "[ensemble_probe] Invalid value for --jobs: '-2'" + kExpected},
      {{"--jobs=x", "c.json", "out"}, "[ensemble_probe] Invalid value for --jobs: 'x'" + kExpected},
      {{"--jobs=", "c.json", "out"}, "[ensemble_probe] Invalid value for --jobs: ''" + kExpected},
      {{"--jobs", "+3", "c.json", "out"},
       "[ensemble_probe] Invalid value for --jobs: '+3'" + kExpected},
      {{"--jobs", "1025", "c.json", "out"},
       "[ensemble_probe] Invalid value for --jobs: '1025'" + kExpected},
      {{"--jobs", "99999999999", "c.json", "out"},
       "[ensemble_probe] Invalid value for --jobs: '99999999999'" + kExpected},
      {{"--jobs", "c.json", "out"},
       "[ensemble_probe] Invalid value for --jobs: 'c.json'" + kExpected},
      {{"--simulation", "--jobs"}, "[ensemble_probe] Missing value for --jobs" + kExpected},
      {{"--shard", "3/3", "c.json", "out"}, bad_shard("3/3")},
      {{"--shard", "-1/2", "c.json", "out"}, bad_shard("-1/2")},
      {{"--shard=a/b", "c.json", "out"}, bad_shard("a/b")},
      {{"--shard", "2", "c.json", "out"}, bad_shard("2")},
      {{"--shard=", "c.json", "out"}, bad_shard("")},
      {{"--jobs", "2", "--shard", "c.json", "out"}, bad_shard("c.json")},
      {{"--shard"},
       "[ensemble_probe] Missing value for --shard (expected K/N, two whole numbers with "
       "0 <= K < N)\n"},
      {{"--shard", "1/2", "c.json"}, kJobsUsage},
      // After the paths it is one word too many, as --jobs is.
      {{"c.json", "out", "--shard", "0/2"}, kUsage},
      {{"--timeout", "0", "c.json", "out"}, bad_timeout("0")},
      {{"--timeout", "-1", "c.json", "out"}, bad_timeout("-1")},
      {{"--timeout=x", "c.json", "out"}, bad_timeout("x")},
      {{"--timeout", "1e3", "c.json", "out"}, bad_timeout("1e3")},
      {{"--timeout", "inf", "c.json", "out"}, bad_timeout("inf")},
      {{"--timeout", "0.000", "c.json", "out"}, bad_timeout("0.000")},
      {{"--timeout"},
       "[ensemble_probe] Missing value for --timeout (expected a positive number of seconds)\n"},
      {{"--retries", "-1", "c.json", "out"},
       "[ensemble_probe] Invalid value for --retries: '-1' (expected a whole number)\n"},
      {{"--retries", "1.5", "c.json", "out"},
       "[ensemble_probe] Invalid value for --retries: '1.5' (expected a whole number)\n"},
      {{"--retries=99999999999", "c.json", "out"},
       "[ensemble_probe] Invalid value for --retries: '99999999999' (expected a whole number)\n"},
      {{"--keep-outputs", "", "c.json", "out"},
       "[ensemble_probe] Invalid value for --keep-outputs: invalid file pattern '': it is empty\n"},
      {{"--keep-outputs=a\\b", "c.json", "out"},
       "[ensemble_probe] Invalid value for --keep-outputs: invalid file pattern 'a\\b': folders "
       "are separated by '/'\n"},
      {{"--keep-outputs"},
       "[ensemble_probe] Missing value for --keep-outputs (expected a file pattern, or none)\n"},
  };
  for (const auto& row : kRows) {
    Words words{"probe"};
    words.insert(words.end(), row.args.begin(), row.args.end());
    const auto parsed = parse_probe_arguments(words, 6);
    ASSERT_FALSE(parsed.has_value()) << row.error;
    EXPECT_EQ(parsed.error().message, row.error);
  }
}

}  // namespace
}  // namespace native_runner

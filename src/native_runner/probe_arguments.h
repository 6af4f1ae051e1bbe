#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/error.h"
#include "common/option_table.h"
#include "native_runner/combination_sample.h"
#include "native_runner/engine_run_policy.h"
#include "native_runner/shard.h"

namespace native_runner {

// What the words of an ensemble_probe command line ask for.
struct ProbeArguments {
  std::string config_path;
  std::string output_dir;
  bool json_only = true;
  // Engine runs (simulation) or variant builds (JSON-only) going on at once.
  unsigned jobs = 1;
  // The share of the batch this process handles, when a scheduler runs it as numbered copies.
  std::optional<Shard> shard{};
  // A failed engine run ends only its combination.
  bool keep_going = false;
  // Combinations whose engine run already succeeded with the same inputs are not run again.
  bool resume = false;
  // --timeout, --retries and --keep-outputs: how every engine run goes.
  EngineRunPolicy engine_runs{};
  // --sample, --seed and --sample-method: in each larger group, only the sampled combinations.
  std::optional<SampleRequest> sample{};
  // "--help", "-h" or "--version" alone asks only for a description of the program.
  common::ProgramRequest request = common::ProgramRequest::kRun;

  friend bool operator==(const ProbeArguments&, const ProbeArguments&) = default;
};

// The largest --jobs value accepted; more would only add threads that wait.
inline constexpr unsigned kMaxJobs = 1024;

// Reads the command line, the program's own word first. Without an option other than
// "--simulation" the historical rules hold unchanged: two or three arguments,
// "--simulation" recognised only as the first of three, a third path ignored. When options before
// the paths include any other ("--jobs N" or "--jobs=N", N a positive integer up to kMaxJobs or
// "auto" for `hardware_threads`; "--shard K/N" or "--shard=K/N"; "--sample N" with "--seed S"
// and "--sample-method M", the latter two refused without it), the options may come in any
// order and exactly the two paths must follow. "--help", "-h" or "--version" as the only
// argument (a usage error otherwise) sets `request`.
//
// Fails with the complete text for standard error: the usage lines for a wrong number of
// arguments, or one line naming a bad or missing option value.
common::Result<ProbeArguments> parse_probe_arguments(std::span<const std::string> words,
                                                     unsigned hardware_threads);

// The options of the table that reads the command line, for checks of the help against it.
std::vector<common::OptionRow> probe_option_rows();

// What "--help" prints: the usage with every option, one line each.
std::string probe_help(std::string_view program);

}  // namespace native_runner

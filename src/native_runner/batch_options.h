#pragma once

#include <filesystem>
#include <optional>
#include <stop_token>
#include <string>

#include "native_runner/combination_sample.h"
#include "native_runner/engine_run_policy.h"
#include "native_runner/shard.h"

namespace native_runner {

// What one batch is asked to do.
struct BatchOptions {
  std::filesystem::path config_path;
  std::filesystem::path base_params_dir;  // the parameter tree: base_json/, tariff/, ...
  std::filesystem::path output_dir;       // variants and logs/
  std::filesystem::path progress_dir;     // the snapshot files a watcher polls
  std::string job_id;                     // names the progress files and the logs
  bool json_only = true;                  // write the variants without running the engine
  // Engine runs going on at once in simulation mode; 1 runs them one after another, as always.
  unsigned jobs = 1;
  // Only this share of the combinations, each with the index, result directory and records it
  // has in the whole batch, so the shards' outputs together are the whole batch's.
  std::optional<Shard> shard{};
  // In each group larger than the sample, only the sampled combinations, each with the index,
  // result directory and records it has in the whole batch; a shard takes its share of them.
  std::optional<SampleRequest> sample{};
  // A failed engine run ends only its combination; the failures are counted instead.
  bool keep_going = false;
  // In simulation mode, a combination whose result directory holds the outcome record of a
  // success with exactly the inputs of this run is not simulated again.
  bool resume = false;
  // Time limit, retries and which outputs are kept, for every engine run.
  EngineRunPolicy engine_runs{};
  // An interrupt: no further combination starts and the engine runs in flight are ended.
  std::stop_token stop{};
};

}  // namespace native_runner

#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

#include "common/error.h"
#include "native_runner/batch_temp_directory.h"
#include "native_runner/engine_run_policy.h"
#include "native_runner/engine_runner.h"

// The life of one combination's engine run: a directory of its own for each attempt, the engine
// started there under the time limit, a failed attempt started again, what the last attempt left
// kept in the result directory, the directory removed.
namespace native_runner {

// What the run needs beyond the engine runner's own services.
struct EngineRunServices {
  const EngineServices& engine;
  // Holds each attempt's directory.
  BatchTempDirectory& temp_directory;
  // Records that attempt `attempt` (2 or more) starts because the one before failed with
  // `failure`; a failure to record ends the run with it.
  std::function<common::Result<void>(std::uint64_t attempt, const common::Error& failure)>
      record_retry;
};

struct EngineRunReport {
  // Success, the engine's failure on the last attempt, or why the run could not be set up, kept
  // or finished (an interruption).
  common::Result<void> verdict;
  std::uint64_t attempts = 0;
  double duration_s = 0;  // the last attempt's wall time
};

// Runs the engine on `request` (its model_directory and time_limit are set here) until it has a
// verdict, up to 1 + policy.retries attempts when the engine fails. Before each attempt after the
// first it prints "[SIMULATION] Retrying simulation for {model} (attempt {k} of {n})" and records
// the retry. Once the engine has ended with a verdict, its outputs go to
// {result_dir}/engine (see keep_engine_outputs), which must not exist. A run that could not be set
// up, or that was interrupted, is not tried again and keeps nothing.
EngineRunReport run_engine(SimulationRequest request, const std::filesystem::path& result_dir,
                           const EngineRunPolicy& policy, const EngineRunServices& services);

}  // namespace native_runner

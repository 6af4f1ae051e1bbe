#pragma once

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string_view>

#include "common/error.h"
#include "json/json.h"
#include "native_runner/cli_flags.h"

namespace native_runner {

// Runs the engine on one variant; the default is run_simulation with the real shell and temp
// directory. Tests put a fake here to reach the simulation paths without an engine.
using SimulationRunner = std::function<common::Result<void>(
    const json_text::Json& model, std::string_view output_path, std::string_view weather_file,
    CliFlags flags, const std::filesystem::path& workspace, std::string_view config_name)>;

struct BatchServices {
  std::ostream& out;  // every console line of the batch
  SimulationRunner run_simulation;
};

BatchServices default_batch_services(std::ostream& out);

// Runs one whole batch: every combination of every group is built from the base-parameter
// directory, finished and written under `output_dir`; unless `json_only`, each variant is also
// simulated. Skips end one combination; every other failure ends the batch and is returned
// unchanged. Progress files go to `progress_dir`, logs under `output_dir`/logs.
common::Result<void> run_native_batch(const std::filesystem::path& config_path,
                                      const std::filesystem::path& base_params_dir,
                                      const std::filesystem::path& output_dir,
                                      const std::filesystem::path& progress_dir,
                                      std::string_view job_id, bool json_only,
                                      const BatchServices& services);

}  // namespace native_runner

#pragma once

#include <filesystem>
#include <string>

namespace native_runner {

// What one batch is asked to do.
struct BatchOptions {
  std::filesystem::path config_path;
  std::filesystem::path base_params_dir;  // the parameter tree: base_json/, tariff/, ...
  std::filesystem::path output_dir;       // variants and logs/
  std::filesystem::path progress_dir;     // the snapshot files a watcher polls
  std::string job_id;                     // names the progress files and the logs
  bool json_only = true;                  // write the variants without running the engine
};

}  // namespace native_runner

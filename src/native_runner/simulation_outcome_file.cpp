#include "native_runner/simulation_outcome_file.h"

#include "platform/file_system.h"

namespace native_runner {

std::filesystem::path outcome_file_path(const std::filesystem::path& result_dir) {
  return result_dir / platform::path_from_utf8(kOutcomeFileName);
}

bool has_matching_outcome(const Files& files, const std::filesystem::path& result_dir,
                          const SimulationInputs& inputs) {
  const auto text = files.read(outcome_file_path(result_dir));
  return text && outcome_matches(*text, inputs);
}

common::Result<void> write_outcome_file(const Files& files, const std::filesystem::path& result_dir,
                                        const SimulationInputs& inputs, const SimulationRun& run) {
  return files.replace(outcome_file_path(result_dir), render_outcome(inputs, run));
}

common::Result<void> remove_outcome_file(const Files& files,
                                         const std::filesystem::path& result_dir) {
  const auto path = outcome_file_path(result_dir);
  if (!files.exists(path)) return {};
  return files.remove(path);
}

}  // namespace native_runner

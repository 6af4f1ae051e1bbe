#include "native_runner/simulation_outcome_file.h"

#include "platform/file_system.h"

namespace native_runner {

std::filesystem::path outcome_file_path(const std::filesystem::path& result_dir) {
  return result_dir / platform::path_from_utf8(kOutcomeFileName);
}

bool has_matching_outcome(const std::filesystem::path& result_dir, const SimulationInputs& inputs) {
  const auto text = platform::read_file(outcome_file_path(result_dir));
  return text && outcome_matches(*text, inputs);
}

common::Result<void> write_outcome_file(const std::filesystem::path& result_dir,
                                        const SimulationInputs& inputs,
                                        std::string_view completed_at) {
  return platform::replace_file(outcome_file_path(result_dir),
                                render_outcome(inputs, completed_at));
}

common::Result<void> remove_outcome_file(const std::filesystem::path& result_dir) {
  const auto path = outcome_file_path(result_dir);
  if (!platform::exists(path)) return {};
  return platform::remove_file(path);
}

}  // namespace native_runner

#include "native_runner/progress_files.h"

#include <ostream>
#include <string>

#include "native_runner/diagnostics.h"
#include "platform/file_system.h"

namespace native_runner {

// The job identifier goes into the file names verbatim.
ProgressFiles::ProgressFiles(const Files& files, std::filesystem::path progress_dir,
                             std::string job_id)
    : files_(files),
      progress_path_(progress_dir / platform::path_from_utf8("progress_" + job_id + ".json")),
      simulation_path_(progress_dir /
                       platform::path_from_utf8("sim_progress_" + job_id + ".json")) {}

common::Result<void> ProgressFiles::write(const ProgressUpdate& update, std::ostream& out) const {
  const std::string json = to_pretty_json(update);
  if (auto written = files_.write(progress_path_, json); !written) return written;
  const std::string path_line =
      "[PROGRESS] Writing progress to: " + platform::path_text(progress_path_);
  const std::string data_line = "[PROGRESS] Progress data: " + json;
  out << path_line << '\n' << data_line << '\n';
  emit_diagnostic(path_line);
  emit_diagnostic(data_line);
  return {};
}

common::Result<void> ProgressFiles::write_simulation(const SimulationProgress& progress) const {
  return files_.write(simulation_path_, to_pretty_json(progress));
}

}  // namespace native_runner

#include "native_runner/progress_files.h"

#include <ostream>
#include <string>
#include <utility>

#include "native_runner/diagnostics.h"
#include "native_runner/utc_timestamp.h"
#include "platform/file_system.h"

namespace native_runner {
namespace {

// The job identifier goes into file names verbatim.
std::string file_name(std::string_view prefix, std::string_view job_id,
                      std::string_view extension) {
  std::string name(prefix);
  name += job_id;
  name += extension;
  return name;
}

// Logs are opened, appended to and closed on every call so a watcher never meets a held handle
// and a crash loses at most the line being written.
common::Result<void> append_line(const std::filesystem::path& log_root, std::string_view kind,
                                 std::string_view name, std::string line) {
  const auto dir = log_root / "logs" / kind;
  if (auto made = platform::create_directories(dir); !made) return made;
  line += '\n';
  return platform::append_to_file(dir / platform::path_from_utf8(name), line);
}

}  // namespace

common::Result<void> write_progress(const std::filesystem::path& progress_dir,
                                    std::string_view job_id, const ProgressUpdate& update,
                                    std::ostream& out) {
  const auto path =
      progress_dir / platform::path_from_utf8(file_name("progress_", job_id, ".json"));
  const std::string json = to_pretty_json(update);
  // Written in place, not renamed over: a watcher polling the file may hold it open, and it
  // tolerates catching the file empty or partial.
  if (auto written = platform::write_file(path, json); !written) return written;
  const std::string path_line = "[PROGRESS] Writing progress to: " + platform::path_text(path);
  const std::string data_line = "[PROGRESS] Progress data: " + json;
  out << path_line << '\n' << data_line << '\n';
  emit_diagnostic(path_line);
  emit_diagnostic(data_line);
  return {};
}

common::Result<void> write_simulation_progress(const std::filesystem::path& progress_dir,
                                               std::string_view job_id,
                                               const SimulationProgress& progress) {
  const auto path =
      progress_dir / platform::path_from_utf8(file_name("sim_progress_", job_id, ".json"));
  return platform::write_file(path, to_pretty_json(progress));
}

common::Result<void> log_processing_event(const std::filesystem::path& log_root,
                                          std::string_view job_id, std::string_view config_name,
                                          std::string_view event_type, std::string_view message,
                                          std::string_view model_name,
                                          std::uint64_t combination_index,
                                          std::uint64_t total_combinations) {
  const ProcessingEvent event{
      .timestamp = utc_timestamp(),
      .job_id = std::string(job_id),
      .config_name = std::string(config_name),
      .event_type = std::string(event_type),
      .message = std::string(message),
      .model_name = std::string(model_name),
      .combination_index = combination_index,
      .total_combinations = total_combinations,
  };
  return append_line(log_root, "processing", file_name("batch_processing_", job_id, ".log"),
                     to_compact_json(event));
}

common::Result<void> log_structured_error(
    const std::filesystem::path& log_root, std::string_view job_id, std::string_view config_name,
    std::string_view error_code, std::string_view error_message, std::string_view model_name,
    std::uint64_t combination_index, std::uint64_t total_combinations,
    json_text::Json additional_data) {
  const StructuredError error{
      .timestamp = utc_timestamp(),
      .job_id = std::string(job_id),
      .config_name = std::string(config_name),
      .error_code = std::string(error_code),
      .error_message = std::string(error_message),
      .model_name = std::string(model_name),
      .combination_index = combination_index,
      .total_combinations = total_combinations,
      .additional_data = std::move(additional_data),
  };
  return append_line(log_root, "errors", file_name("batch_errors_", job_id, ".jsonl"),
                     to_compact_json(error));
}

}  // namespace native_runner

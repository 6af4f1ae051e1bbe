#include "native_runner/batch_log.h"

#include <utility>

#include "native_runner/progress_records.h"
#include "native_runner/utc_timestamp.h"
#include "platform/file_system.h"

namespace native_runner {

BatchLog::BatchLog(const Files& files, std::filesystem::path output_dir, std::string job_id,
                   std::string config_name)
    : files_(files),
      output_dir_(std::move(output_dir)),
      job_id_(std::move(job_id)),
      config_name_(std::move(config_name)) {}

common::Result<void> BatchLog::event(std::string_view event_type, std::string_view message,
                                     const LogPosition& position) const {
  const ProcessingEvent event{
      .timestamp = utc_timestamp(),
      .job_id = job_id_,
      .config_name = config_name_,
      .event_type = std::string(event_type),
      .message = std::string(message),
      .model_name = std::string(position.model_name),
      .combination_index = position.combination_index,
      .total_combinations = position.total_combinations,
  };
  return append_line("processing", "batch_processing_" + job_id_ + ".log",
                     to_compact_json(event));
}

common::Result<void> BatchLog::error(std::string_view error_code, std::string_view message,
                                     const LogPosition& position,
                                     json_text::Json additional_data) const {
  const StructuredError error{
      .timestamp = utc_timestamp(),
      .job_id = job_id_,
      .config_name = config_name_,
      .error_code = std::string(error_code),
      .error_message = std::string(message),
      .model_name = std::string(position.model_name),
      .combination_index = position.combination_index,
      .total_combinations = position.total_combinations,
      .additional_data = std::move(additional_data),
  };
  return append_line("errors", "batch_errors_" + job_id_ + ".jsonl", to_compact_json(error));
}

common::Result<void> BatchLog::append_line(std::string_view kind, std::string_view file_name,
                                           std::string line) const {
  const auto dir = output_dir_ / "logs" / kind;
  if (auto made = files_.create_directories(dir); !made) return made;
  line += '\n';
  return files_.append(dir / platform::path_from_utf8(file_name), line);
}

}  // namespace native_runner

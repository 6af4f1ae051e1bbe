#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "common/big_count.h"
#include "common/error.h"
#include "json/json.h"
#include "native_runner/files.h"

namespace native_runner {

// Which combination a log line is about; batch-wide lines leave it empty.
struct LogPosition {
  std::string_view model_name;
  common::BigCount combination_index;
  common::BigCount total_combinations;
};

// The two append-only logs of one batch under {output_dir}/logs. Each line is opened, appended
// and closed on its own so a watcher never meets a held handle and a crash loses at most the
// line being written.
class BatchLog {
 public:
  BatchLog(const Files& files, std::filesystem::path output_dir, std::string job_id,
           std::string config_name);

  // One compact ProcessingEvent line in processing/batch_processing_{job_id}.log.
  common::Result<void> event(std::string_view event_type, std::string_view message,
                             const LogPosition& position = {}) const;

  // One compact StructuredError line in errors/batch_errors_{job_id}.jsonl.
  common::Result<void> error(std::string_view error_code, std::string_view message,
                             const LogPosition& position, json_text::Json additional_data) const;

 private:
  common::Result<void> append_line(std::string_view kind, std::string_view file_name,
                                   std::string line) const;

  const Files& files_;
  std::filesystem::path output_dir_;
  std::string job_id_;
  std::string config_name_;
};

}  // namespace native_runner

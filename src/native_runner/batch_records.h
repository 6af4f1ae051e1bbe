#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "common/error.h"
#include "json/json.h"
#include "native_runner/batch_log.h"
#include "native_runner/files.h"
#include "native_runner/progress_files.h"

namespace native_runner {

// Every record of one batch that a watcher reads: the two snapshot files and the two logs. They
// are written from the main thread and from engine runs on worker threads, one writer at a time.
class BatchRecords {
 public:
  BatchRecords(const Files& files, std::filesystem::path output_dir,
               std::filesystem::path progress_dir, std::string job_id);

  // The logs are named after the configuration, so they can be written only once it is known.
  void open_logs(std::string config_name);

  // The progress snapshot, announced on `out` (see ProgressFiles::write).
  common::Result<void> progress(const std::string& model, const common::BigCount& current,
                                const common::BigCount& total, double percentage, std::string status,
                                std::ostream& out);
  // The simulation snapshot of a run that starts, or of one that succeeded.
  common::Result<void> simulation_progress(const std::string& model, bool finished);
  common::Result<void> event(std::string_view type, std::string_view message,
                             const LogPosition& position = {});
  common::Result<void> error(std::string_view code, std::string_view message,
                             const LogPosition& position, json_text::Json details);

  // Holds off every other writer while the holder writes several records that belong together
  // (an outcome record and its success event).
  [[nodiscard]] std::unique_lock<std::recursive_mutex> hold() { return std::unique_lock(mutex_); }

 private:
  const Files& files_;
  std::filesystem::path output_dir_;
  std::string job_id_;
  std::recursive_mutex mutex_;
  ProgressFiles progress_files_;
  std::optional<BatchLog> log_;
};

}  // namespace native_runner

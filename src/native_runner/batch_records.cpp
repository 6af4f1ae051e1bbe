#include "native_runner/batch_records.h"

#include <utility>

#include "native_runner/progress_records.h"
#include "native_runner/utc_timestamp.h"

namespace native_runner {

BatchRecords::BatchRecords(const Files& files, std::filesystem::path output_dir,
                           std::filesystem::path progress_dir, std::string job_id)
    : files_(files),
      output_dir_(std::move(output_dir)),
      job_id_(std::move(job_id)),
      progress_files_(files, std::move(progress_dir), job_id_) {}

void BatchRecords::open_logs(std::string config_name) {
  log_.emplace(files_, output_dir_, job_id_, std::move(config_name));
}

common::Result<void> BatchRecords::progress(const std::string& model,
                                            const common::BigCount& current,
                                            const common::BigCount& total, double percentage,
                                            std::string status, std::ostream& out) {
  const ProgressUpdate update{job_id_, current,           total,          percentage,
                              model,   std::move(status), utc_timestamp()};
  std::scoped_lock lock(mutex_);
  return progress_files_.write(update, out);
}

common::Result<void> BatchRecords::simulation_progress(const std::string& model, bool finished) {
  const SimulationProgress snapshot =
      finished ? SimulationProgress{job_id_,
                                    model,
                                    8760,
                                    8760,
                                    100.0,
                                    "December",
                                    31,
                                    23.0,
                                    "Simulation completed successfully",
                                    utc_timestamp()}
               : SimulationProgress{
                     job_id_,        model, 0, 8760, 0.0, "January", 1, 0.0, "Starting simulation",
                     utc_timestamp()};
  std::scoped_lock lock(mutex_);
  return progress_files_.write_simulation(snapshot);
}

common::Result<void> BatchRecords::event(std::string_view type, std::string_view message,
                                         const LogPosition& position) {
  std::scoped_lock lock(mutex_);
  return log_->event(type, message, position);
}

common::Result<void> BatchRecords::error(std::string_view code, std::string_view message,
                                         const LogPosition& position, json_text::Json details) {
  std::scoped_lock lock(mutex_);
  return log_->error(code, message, position, std::move(details));
}

}  // namespace native_runner

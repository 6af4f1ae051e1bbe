#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>

#include "common/error.h"
#include "native_runner/files.h"
#include "native_runner/progress_records.h"

namespace native_runner {

// The two snapshot files a watcher polls: {progress_dir}/progress_{job_id}.json and
// {progress_dir}/sim_progress_{job_id}.json. Both are written in place, not renamed over: a
// watcher may hold them open, and it tolerates catching one empty or partial.
class ProgressFiles {
 public:
  ProgressFiles(const Files& files, std::filesystem::path progress_dir, std::string job_id);

  // Replaces the progress file with the pretty record, then prints "[PROGRESS] Writing progress
  // to: ..." and "[PROGRESS] Progress data: ..." to `out` and emits the same two diagnostic
  // events. A missing directory is an error and prints nothing.
  common::Result<void> write(const ProgressUpdate& update, std::ostream& out) const;

  // Replaces the simulation progress file; silent.
  common::Result<void> write_simulation(const SimulationProgress& progress) const;

 private:
  const Files& files_;
  std::filesystem::path progress_path_;
  std::filesystem::path simulation_path_;
};

}  // namespace native_runner

#pragma once

#include <filesystem>
#include <string>

#include "batch_watch/job_fold.h"
#include "batch_watch/log_tail.h"
#include "batch_watch/record_fields.h"

namespace batch_watch {

// Keeps one job's state up to date from its four files, reading only what the two logs gained
// since the last read; the two snapshots, small and rewritten in place, are read whole. A log
// that shrank or was replaced, or a new "BATCH_START", folds the job again from the beginning.
class JobReader {
 public:
  JobReader(std::string job_id, NameTable& names);

  // Reads what changed; true when anything did. Nothing here fails: a file that cannot be read
  // holds nothing yet.
  bool read(const std::filesystem::path& output_dir);

  const JobFold& fold() const { return fold_; }

 private:
  bool read_logs(const std::filesystem::path& output_dir);
  bool read_snapshots(const std::filesystem::path& output_dir);

  std::string job_id_;
  NameTable* names_;
  JobFold fold_;
  RecordFieldReader fields_;
  LogTail events_;
  LogTail errors_;
  std::string progress_text_;
  std::string simulation_text_;
};

// A job's four files as texts.
struct JobTexts {
  std::string_view processing_log = {};
  std::string_view error_log = {};
  std::string_view progress = {};
  std::string_view simulation_progress = {};
};

// The state a first read of these texts gives.
JobFold fold_job(const std::string& job_id, NameTable& names, const JobTexts& texts);

}  // namespace batch_watch

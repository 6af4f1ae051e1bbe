#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "batch_watch/batch_files.h"
#include "batch_watch/batch_summary.h"
#include "batch_watch/job_reader.h"

namespace batch_watch {

// Follows every job of one output directory. Each read takes in only what the files gained since
// the previous one, and shows exactly what reading everything afresh would show. Never fails:
// what cannot be read yet is simply not there yet.
class BatchReader {
 public:
  // `shown_dir` is how the views name the directory.
  BatchReader(std::filesystem::path output_dir, std::string shown_dir);

  // The summary as of now; the same object as last time when nothing changed.
  const BatchSummary& read(SummaryDetail detail = SummaryDetail::Counts);

 private:
  std::filesystem::path output_dir_;
  std::string shown_dir_;
  JobIdScanner ids_;
  NameTable names_;
  std::map<std::string, std::unique_ptr<JobReader>> jobs_;
  std::optional<BatchSummary> summary_;
  SummaryDetail detail_ = SummaryDetail::Counts;
};

// Reads every job of the output directory once, with every combination.
BatchSummary read_batch(const std::filesystem::path& output_dir, const std::string& shown_dir);

// Decides when a live watch may stop. A batch that logged "BATCH_COMPLETE" (every job of it) is
// over at once. One that a failure record ended is over only when the logs stayed unchanged for
// `quiet_reads` reads in a row, since with a keep-going batch the next event may be a moment away.
class EndConfirmation {
 public:
  explicit EndConfirmation(std::size_t quiet_reads = 3) : quiet_reads_(quiet_reads) {}
  bool confirm(const BatchSummary& summary);

 private:
  std::size_t quiet_reads_;
  std::size_t unchanged_ = 0;
  std::optional<std::size_t> last_record_count_;
};

}  // namespace batch_watch

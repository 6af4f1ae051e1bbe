#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include "batch_watch/batch_summary.h"

namespace batch_watch {

// Reads every job of the output directory and summarises it; `shown_dir` is how the view names
// the directory. Never fails: what cannot be read yet is simply not there yet.
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

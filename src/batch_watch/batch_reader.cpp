#include "batch_watch/batch_reader.h"

#include <vector>

#include "batch_watch/batch_files.h"
#include "batch_watch/job_state.h"

namespace batch_watch {

BatchSummary read_batch(const std::filesystem::path& output_dir, const std::string& shown_dir) {
  std::vector<JobState> jobs;
  for (const std::string& job_id : find_job_ids(output_dir)) {
    jobs.push_back(aggregate_job(read_job_records(output_dir, job_id)));
  }
  return summarize(shown_dir, jobs);
}

bool EndConfirmation::confirm(const BatchSummary& summary) {
  if (!summary.ended()) {
    unchanged_ = 0;
    last_record_count_.reset();
    return false;
  }
  if (!summary.ended_by_failure_record) return true;
  unchanged_ = last_record_count_ == summary.record_count ? unchanged_ + 1 : 1;
  last_record_count_ = summary.record_count;
  return unchanged_ >= quiet_reads_;
}

}  // namespace batch_watch

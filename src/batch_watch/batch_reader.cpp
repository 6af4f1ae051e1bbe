#include "batch_watch/batch_reader.h"

#include <vector>

namespace batch_watch {

BatchReader::BatchReader(std::filesystem::path output_dir, std::string shown_dir)
    : output_dir_(std::move(output_dir)), shown_dir_(std::move(shown_dir)) {}

const BatchSummary& BatchReader::read(SummaryDetail detail) {
  const std::vector<std::string> ids = ids_.scan(output_dir_);
  bool changed = ids.size() != jobs_.size();
  std::map<std::string, std::unique_ptr<JobReader>> kept;
  for (const std::string& id : ids) {
    auto found = jobs_.find(id);
    if (found == jobs_.end()) {
      changed = true;
      found = jobs_.emplace(id, std::make_unique<JobReader>(id, names_)).first;
    }
    changed = found->second->read(output_dir_) || changed;
    kept.emplace(id, std::move(found->second));
  }
  jobs_ = std::move(kept);
  const bool more_detail = detail == SummaryDetail::Cells && detail_ != SummaryDetail::Cells;
  if (!changed && !more_detail && summary_) return *summary_;
  std::vector<const JobFold*> folds;
  for (const auto& [id, job] : jobs_) folds.push_back(&job->fold());
  summary_ = summarize(shown_dir_, folds, names_, detail);
  detail_ = detail;
  return *summary_;
}

BatchSummary read_batch(const std::filesystem::path& output_dir, const std::string& shown_dir) {
  BatchReader reader(output_dir, shown_dir);
  return reader.read(SummaryDetail::Cells);
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

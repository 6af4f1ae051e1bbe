#include "batch_watch/batch_summary.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "batch_watch/shard_jobs.h"

namespace batch_watch {
namespace {

bool is_final(Outcome outcome) {
  return outcome != Outcome::Pending && outcome != Outcome::Running;
}

// Which of two reports of one combination (from different jobs) stands.
bool replaces(const Combination& newer, const Combination& kept) {
  if (is_final(newer.outcome) != is_final(kept.outcome)) return is_final(newer.outcome);
  return is_final(newer.outcome) && newer.finished.value_or(0) > kept.finished.value_or(0);
}

void count(Counts& counts, Outcome outcome) {
  switch (outcome) {
    case Outcome::Pending: return;
    case Outcome::Running: ++counts.running; return;
    case Outcome::Succeeded: ++counts.succeeded; break;
    case Outcome::Written: ++counts.written; break;
    case Outcome::Resumed: ++counts.resumed; break;
    case Outcome::Skipped: ++counts.skipped; break;
    case Outcome::Failed: ++counts.failed; break;
  }
  ++counts.done;
}

BatchState overall_state(const std::vector<JobState>& jobs, const Counts& counts,
                         std::uint64_t shards_not_started) {
  bool any_started = false, all_ended = shards_not_started == 0, any_failed = counts.failed > 0;
  for (const JobState& job : jobs) {
    if (job.end == JobEnd::NotStarted) continue;
    any_started = true;
    all_ended = all_ended && job.ended();
    any_failed = any_failed || job.end == JobEnd::Failed;
  }
  if (!any_started) return BatchState::Waiting;
  if (!all_ended) return BatchState::Running;
  return any_failed ? BatchState::Failed : BatchState::Complete;
}

// Runs that took time: resumed and skipped combinations say nothing about the pace.
void estimate_pace(BatchSummary& summary, const std::vector<JobState>& jobs,
                   const std::vector<Combination>& all) {
  std::optional<std::int64_t> first_start, last_finish;
  for (const JobState& job : jobs) {
    if (job.started) first_start = std::min(first_start.value_or(*job.started), *job.started);
  }
  std::uint64_t runs = 0;
  for (const Combination& c : all) {
    if (c.outcome != Outcome::Succeeded && c.outcome != Outcome::Failed &&
        c.outcome != Outcome::Written) {
      continue;
    }
    if (!c.finished) continue;
    ++runs;
    last_finish = std::max(last_finish.value_or(*c.finished), *c.finished);
  }
  if (first_start && last_finish) summary.elapsed = *last_finish - *first_start;
  if (summary.ended()) {
    summary.seconds_left = 0;
  }
  if (runs == 0 || !summary.elapsed || *summary.elapsed <= 0) return;
  summary.per_minute = static_cast<double>(runs) * 60.0 / static_cast<double>(*summary.elapsed);
  if (!summary.ended()) {
    const auto remaining = summary.counts.total - std::min(summary.counts.total,
                                                           summary.counts.done);
    summary.seconds_left = static_cast<std::int64_t>(
        std::llround(static_cast<double>(remaining) * 60.0 / *summary.per_minute));
  }
}

}  // namespace

const char* batch_state_name(BatchState state) {
  switch (state) {
    case BatchState::Waiting: return "waiting";
    case BatchState::Running: return "running";
    case BatchState::Complete: return "complete";
    case BatchState::Failed: return "failed";
  }
  return "waiting";
}

BatchSummary summarize(const std::string& output_dir, const std::vector<JobState>& jobs) {
  BatchSummary summary;
  summary.output_dir = output_dir;
  std::map<std::string, std::uint64_t> totals;
  std::map<std::string, Combination> by_model;
  bool any_started = false, all_json_only = true;
  for (const JobState& job : jobs) {
    summary.job_ids.push_back(job.job_id);
    if (job.ended()) summary.ended_job_ids.push_back(job.job_id);
    if (job.end == JobEnd::Failed) summary.ended_by_failure_record = true;
    if (job.end != JobEnd::NotStarted) {
      any_started = true;
      all_json_only = all_json_only && job.json_only;
    }
    summary.record_count += job.record_count;
    for (const auto& [group, total] : job.group_totals) {
      totals[group] = std::max(totals[group], total);
    }
    for (const Combination& c : job.combinations) {
      const auto [found, inserted] = by_model.try_emplace(c.model_name, c);
      if (!inserted && replaces(c, found->second)) found->second = c;
    }
    summary.errors.insert(summary.errors.end(), job.errors.begin(), job.errors.end());
  }
  summary.json_only = any_started && all_json_only;
  std::stable_sort(summary.errors.begin(), summary.errors.end(),
                   [](const ErrorEntry& a, const ErrorEntry& b) { return a.time < b.time; });

  std::vector<Combination> all;
  std::map<std::string, GroupCells> groups;
  for (const auto& [group, total] : totals) {
    GroupCells& cells = groups[group];
    cells.group = group;
    cells.total = total;
  }
  for (const auto& [model, c] : by_model) {
    all.push_back(c);
    count(summary.counts, c.outcome);
    if (c.outcome == Outcome::Running) summary.running.push_back(c);
    if (auto duration = c.duration()) summary.durations.push_back(*duration);
    GroupCells& cells = groups[c.group];
    cells.group = c.group;
    if (cells.cells.size() <= c.index) cells.cells.resize(c.index + 1);
    cells.cells[c.index] = c;
  }
  for (auto& [group, cells] : groups) {
    cells.total = std::max<std::uint64_t>(cells.total, cells.cells.size());
    cells.cells.resize(cells.total);
    for (std::uint64_t i = 0; i < cells.total; ++i) {
      if (cells.cells[i].model_name.empty()) {
        cells.cells[i].group = group;
        cells.cells[i].index = i;
        cells.cells[i].model_name = group + "_" + std::to_string(i);
      }
    }
    summary.counts.total += cells.total;
    summary.groups.push_back(std::move(cells));
  }
  std::stable_sort(summary.running.begin(), summary.running.end(),
                   [](const Combination& a, const Combination& b) {
                     return a.started.value_or(0) < b.started.value_or(0);
                   });
  // A batch that ran any simulation is not a variants-only batch, whatever else it logged.
  summary.json_only = summary.json_only && summary.counts.succeeded == 0;
  summary.shards_not_started = shards_not_started(summary.job_ids);
  summary.state = overall_state(jobs, summary.counts, summary.shards_not_started);
  estimate_pace(summary, jobs, all);
  return summary;
}

}  // namespace batch_watch

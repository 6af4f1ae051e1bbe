#include "batch_watch/batch_summary.h"

#include <algorithm>
#include <cmath>

#include "batch_watch/key_index.h"
#include "batch_watch/shard_jobs.h"

namespace batch_watch {

static_assert(sizeof(Cell) <= 24, "a cell per combination stays small");

namespace {

std::uint64_t add_saturating(std::uint64_t a, std::uint64_t b) {
  return b > UINT64_MAX - a ? UINT64_MAX : a + b;
}

// Which of two reports of one combination (from different jobs) stands.
bool replaces(const CombinationState& newer, const CombinationState& kept) {
  if (is_final(newer.outcome) != is_final(kept.outcome)) return is_final(newer.outcome);
  const auto when = [](std::int64_t time) { return time == kNoTime ? 0 : time; };
  return is_final(newer.outcome) && when(newer.finished) > when(kept.finished);
}

// Visits each combination once, with the job whose report of it stands.
template <typename Visit>
void for_each_standing(const std::vector<const JobFold*>& jobs, const std::vector<JobEnd>& ends,
                       const Visit& visit) {
  const auto reporting = std::count_if(jobs.begin(), jobs.end(), [](const JobFold* job) {
    return job->combination_count() > 0;
  });
  if (reporting <= 1) {
    for (std::uint32_t j = 0; j < jobs.size(); ++j) {
      jobs[j]->for_each_combination(ends[j], [&](const CombinationState& c) { visit(c, j); });
    }
    return;
  }
  struct Standing {
    CombinationState state;
    std::uint32_t job;
  };
  std::vector<Standing> standing;
  KeyIndex index;
  const auto key_at = [&](std::uint32_t entry) { return standing[entry].state.key; };
  for (std::uint32_t j = 0; j < jobs.size(); ++j) {
    jobs[j]->for_each_combination(ends[j], [&](const CombinationState& c) {
      if (const auto found = index.find(c.key, key_at)) {
        if (replaces(c, standing[*found].state)) standing[*found] = {c, j};
        return;
      }
      standing.push_back({c, j});
      index.insert(static_cast<std::uint32_t>(standing.size() - 1), c.key, key_at);
    });
  }
  for (const Standing& s : standing) visit(s.state, s.job);
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

// What the jobs say of one group.
struct GroupTally {
  bool seen = false;
  bool sampled = false;
  std::uint64_t recorded = 0;    // largest total of a job running the group in full
  std::uint64_t sample = 0;      // largest sample of a job sampling it
  std::uint64_t narrow_end = 0;  // past the largest 64-bit index named
  std::uint64_t named = 0;
  std::uint64_t wide = 0;
  std::uint64_t done = 0;
  std::vector<std::pair<CombinationKey, Cell>> cells;

  std::uint64_t total() const {
    if (sampled) return std::max(sample, named);
    return add_saturating(std::max(recorded, narrow_end), wide);
  }
};

class Tallies {
 public:
  GroupTally& operator[](std::uint32_t group) {
    if (group >= groups_.size()) groups_.resize(group + 1);
    groups_[group].seen = true;
    return groups_[group];
  }
  std::vector<GroupTally>& all() { return groups_; }

 private:
  std::vector<GroupTally> groups_;
};

GroupCells listed_cells(const NameTable& names, std::uint32_t id, GroupTally& tally) {
  GroupCells group;
  group.group = names.group_name(id);
  group.total = tally.total();
  group.done = tally.done;
  group.sampled = tally.sampled;
  std::sort(tally.cells.begin(), tally.cells.end(), [&](const auto& a, const auto& b) {
    if (names.index_less(a.first, b.first)) return true;
    return !names.index_less(b.first, a.first) && a.first.bare < b.first.bare;
  });
  group.cells.reserve(tally.cells.size());
  for (auto& [key, cell] : tally.cells) {
    if (cell.wide) {
      group.wide_indices.push_back(names.index_text(key));
      cell.index = group.wide_indices.size() - 1;
    }
    group.cells.push_back(cell);
  }
  std::vector<std::pair<CombinationKey, Cell>>().swap(tally.cells);
  return group;
}

BatchState overall_state(const std::vector<JobEnd>& ends, const Counts& counts,
                         std::uint64_t shards_not_started) {
  bool any_started = false, all_ended = shards_not_started == 0, any_failed = counts.failed > 0;
  for (const JobEnd end : ends) {
    if (end == JobEnd::NotStarted) continue;
    any_started = true;
    all_ended = all_ended && has_ended(end);
    any_failed = any_failed || end == JobEnd::Failed;
  }
  if (!any_started) return BatchState::Waiting;
  if (!all_ended) return BatchState::Running;
  return any_failed ? BatchState::Failed : BatchState::Complete;
}

// Runs that took time: resumed and skipped combinations say nothing about the pace.
struct Pace {
  std::optional<std::int64_t> first_start, last_finish;
  std::uint64_t runs = 0;

  void note(const CombinationState& c) {
    if (c.outcome != Outcome::Succeeded && c.outcome != Outcome::Failed &&
        c.outcome != Outcome::Written) {
      return;
    }
    if (c.finished == kNoTime) return;
    ++runs;
    last_finish = std::max(last_finish.value_or(c.finished), c.finished);
  }

  void estimate(BatchSummary& summary) const {
    if (first_start && last_finish) summary.elapsed = *last_finish - *first_start;
    if (summary.ended()) summary.seconds_left = 0;
    if (runs == 0 || !summary.elapsed || *summary.elapsed <= 0) return;
    summary.per_minute = static_cast<double>(runs) * 60.0 / static_cast<double>(*summary.elapsed);
    if (!summary.ended()) {
      const auto remaining =
          summary.counts.total - std::min(summary.counts.total, summary.counts.done);
      summary.seconds_left = static_cast<std::int64_t>(
          std::llround(static_cast<double>(remaining) * 60.0 / *summary.per_minute));
    }
  }
};

std::optional<std::int64_t> known(std::int64_t time) {
  return time == kNoTime ? std::nullopt : std::optional(time);
}

std::optional<std::int64_t> duration(const CombinationState& c) {
  if ((c.outcome != Outcome::Succeeded && c.outcome != Outcome::Failed) || c.started == kNoTime ||
      c.finished == kNoTime) {
    return std::nullopt;
  }
  return c.finished - c.started;
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

std::string index_text(const GroupCells& group, const Cell& cell) {
  return cell.wide ? group.wide_indices[cell.index] : std::to_string(cell.index);
}

std::string model_name(const GroupCells& group, const Cell& cell) {
  return cell.bare ? group.group : group.group + "_" + index_text(group, cell);
}

BatchSummary summarize(const std::string& output_dir, const std::vector<const JobFold*>& jobs,
                       const NameTable& names, SummaryDetail detail) {
  BatchSummary summary;
  summary.output_dir = output_dir;
  std::vector<JobEnd> ends;
  Tallies tallies;
  Pace pace;
  bool any_started = false, all_json_only = true;
  for (const JobFold* job : jobs) {
    const JobEnd end = ends.emplace_back(job->end());
    summary.job_ids.push_back(job->job_id());
    if (has_ended(end)) summary.ended_job_ids.push_back(job->job_id());
    if (end == JobEnd::Failed) summary.ended_by_failure_record = true;
    if (end != JobEnd::NotStarted) {
      any_started = true;
      all_json_only = all_json_only && job->json_only();
    }
    if (const auto start = job->start_time()) {
      pace.first_start = std::min(pace.first_start.value_or(*start), *start);
    }
    summary.record_count += job->record_count();
    for (const GroupTotal& total : job->group_totals()) {
      GroupTally& tally = tallies[total.group];
      if (total.sampled) {
        tally.sampled = true;
        tally.sample = std::max(tally.sample, total.total);
      } else {
        tally.recorded = std::max(tally.recorded, total.total);
      }
    }
    summary.errors.insert(summary.errors.end(), job->errors().begin(), job->errors().end());
  }
  std::stable_sort(summary.errors.begin(), summary.errors.end(),
                   [](const ErrorEntry& a, const ErrorEntry& b) { return a.time < b.time; });

  const bool cells = detail == SummaryDetail::Cells;
  std::vector<std::pair<CombinationState, std::uint32_t>> running;
  for_each_standing(jobs, ends, [&](const CombinationState& c, std::uint32_t job) {
    count(summary.counts, c.outcome);
    pace.note(c);
    if (c.outcome == Outcome::Running) running.emplace_back(c, job);
    GroupTally& tally = tallies[c.key.group];
    ++tally.named;
    if (c.key.wide) {
      ++tally.wide;
    } else {
      tally.narrow_end = std::max(tally.narrow_end, add_saturating(c.key.index, 1));
    }
    tally.done += is_final(c.outcome);
    if (!cells) return;
    const auto took = duration(c);
    if (took) summary.durations.push_back(*took);
    tally.cells.emplace_back(c.key, Cell{.index = c.key.index, .duration = took.value_or(kNoTime),
                                         .job = job, .outcome = c.outcome, .wide = c.key.wide,
                                         .bare = c.key.bare});
  });

  std::vector<std::uint32_t> group_order;
  for (std::uint32_t id = 0; id < tallies.all().size(); ++id) {
    if (!tallies.all()[id].seen) continue;
    group_order.push_back(id);
    summary.counts.total = add_saturating(summary.counts.total, tallies.all()[id].total());
  }
  if (cells) {
    std::sort(group_order.begin(), group_order.end(), [&](std::uint32_t a, std::uint32_t b) {
      return names.group_name(a) < names.group_name(b);
    });
    for (const std::uint32_t id : group_order) {
      summary.groups.push_back(listed_cells(names, id, tallies.all()[id]));
    }
  }
  for (const auto& [c, job] : running) {
    summary.running.push_back(
        Combination{summary.job_ids[job], names.model_name(c.key), known(c.started)});
  }
  // Oldest first; of those started in one second, by name.
  std::sort(summary.running.begin(), summary.running.end(),
            [](const Combination& a, const Combination& b) {
              const auto x = a.started.value_or(0), y = b.started.value_or(0);
              return x != y ? x < y : a.model_name < b.model_name;
            });
  // A batch that ran any simulation is not a variants-only batch, whatever else it logged.
  summary.json_only = any_started && all_json_only && summary.counts.succeeded == 0;
  summary.shards_not_started = shards_not_started(summary.job_ids);
  summary.state = overall_state(ends, summary.counts, summary.shards_not_started);
  pace.estimate(summary);
  return summary;
}

}  // namespace batch_watch

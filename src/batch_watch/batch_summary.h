#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "batch_watch/combination_names.h"
#include "batch_watch/job_fold.h"

namespace batch_watch {

// Waiting: no job has started a batch yet. Complete: every job ended and nothing failed.
// Failed: every job ended and something failed. Running: anything else, including a batch that
// stopped without an end record (a crash looks the same as a long engine run) and a sharded batch
// with shards that have not started.
enum class BatchState { Waiting, Running, Complete, Failed };

const char* batch_state_name(BatchState state);

// A model the views name: one running now.
struct Combination {
  std::string job_id;
  std::string model_name;
  std::optional<std::int64_t> started;  // seconds since the epoch
};

inline constexpr std::uint32_t kNoJob = UINT32_MAX;

// One combination of a group in 24 bytes; its name is the group's and its index.
struct Cell {
  std::uint64_t index = 0;  // or, when `wide`, its place in GroupCells::wide_indices
  std::int64_t duration = kNoTime;  // seconds from simulation start to success or failure
  std::uint32_t job = kNoJob;       // into BatchSummary::job_ids; none for pending ones
  Outcome outcome = Outcome::Pending;
  bool wide = false;
  bool bare = false;  // named as its group alone
};

// More combinations than a group run in full can have: its records say so only by mistake (or a
// sample whose record is missing), and the views then list what the records named.
inline constexpr std::uint64_t kMostListed = 100'000'000;

struct GroupCells {
  std::string group;
  std::uint64_t total = 0;
  std::uint64_t done = 0;  // with a final outcome
  // The batch runs a sample of the group: `total` is the sample's size.
  bool sampled = false;
  std::vector<Cell> cells;  // the combinations records named, by index
  std::vector<std::string> wide_indices;

  // Every index below the total is listed, pending where no record named it; otherwise (a
  // sample) only the named combinations are.
  bool listed_in_full() const { return !sampled && total <= kMostListed; }

  // Combinations that no record named and that are not listed, all pending.
  std::uint64_t unlisted() const {
    return !listed_in_full() && total > cells.size() ? total - cells.size() : 0;
  }
};

std::string index_text(const GroupCells& group, const Cell& cell);
std::string model_name(const GroupCells& group, const Cell& cell);

// Every combination of the group in index order as the views list them (see listed_in_full).
template <typename Visit>
void for_each_cell(const GroupCells& group, const Visit& visit) {
  std::uint64_t next = 0;
  const bool in_full = group.listed_in_full();
  const auto pending_up_to = [&](std::uint64_t end) {
    for (; in_full && next < end; ++next) visit(Cell{.index = next});
  };
  // Wide indices lie beyond every 64-bit one; the group's total counts them too.
  const std::uint64_t narrow_total = group.total - std::min<std::uint64_t>(
                                                       group.total, group.wide_indices.size());
  for (const Cell& cell : group.cells) {
    pending_up_to(cell.wide ? narrow_total : cell.index);
    visit(cell);
    if (!cell.wide) next = std::max(next, cell.index == UINT64_MAX ? cell.index : cell.index + 1);
  }
  pending_up_to(narrow_total);
}

struct Counts {
  std::uint64_t total = 0;  // combinations of every group seen so far
  std::uint64_t done = 0;   // with a final outcome
  std::uint64_t succeeded = 0;
  std::uint64_t written = 0;
  std::uint64_t resumed = 0;
  std::uint64_t skipped = 0;
  std::uint64_t failed = 0;
  std::uint64_t running = 0;
};

// How much a summary holds: the counts are enough for the live view and the status line; the
// JSON document and the HTML report need every combination.
enum class SummaryDetail { Counts, Cells };

// What every view shows, for all jobs of one output directory together.
struct BatchSummary {
  std::string output_dir;
  BatchState state = BatchState::Waiting;
  std::vector<std::string> job_ids;
  std::vector<std::string> ended_job_ids;
  std::uint64_t shards_not_started = 0;        // of sharded batches, not among job_ids
  bool json_only = false;  // every started job is building variants only
  Counts counts;
  std::optional<std::int64_t> elapsed;         // first start to last finished outcome
  std::optional<double> per_minute;            // finished runs per minute over `elapsed`
  std::optional<std::int64_t> seconds_left;    // 0 once ended
  std::vector<Combination> running;            // oldest first
  std::vector<ErrorEntry> errors;              // oldest first
  std::vector<GroupCells> groups;              // by group name; SummaryDetail::Cells only
  std::vector<std::int64_t> durations;         // of finished simulations; Cells only
  std::size_t record_count = 0;                // changes whenever a log grows
  bool ended_by_failure_record = false;        // some job ended without "BATCH_COMPLETE"

  bool ended() const { return state == BatchState::Complete || state == BatchState::Failed; }
  bool anything_failed() const { return state == BatchState::Failed || counts.failed > 0; }
};

// Combines the jobs of one directory (one batch, or the shards of one), given in job id order: a
// combination reported by several jobs counts once, with its latest final outcome; a group's size
// is the largest any job reported, or for a sampled group the sample's. The rate and the time
// left come from record timestamps only, so they change only when the records do.
BatchSummary summarize(const std::string& output_dir, const std::vector<const JobFold*>& jobs,
                       const NameTable& names, SummaryDetail detail = SummaryDetail::Cells);

}  // namespace batch_watch

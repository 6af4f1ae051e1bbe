#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "batch_watch/job_state.h"

namespace batch_watch {

// Waiting: no job has started a batch yet. Complete: every job ended and nothing failed.
// Failed: every job ended and something failed. Running: anything else, including a batch that
// stopped without an end record (a crash looks the same as a long engine run) and a sharded batch
// with shards that have not started.
enum class BatchState { Waiting, Running, Complete, Failed };

const char* batch_state_name(BatchState state);

struct GroupCells {
  std::string group;
  std::uint64_t total = 0;
  std::vector<Combination> cells;  // one per combination index; Pending where nothing is known
};

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
  std::vector<GroupCells> groups;              // by group name
  std::vector<std::int64_t> durations;         // of finished simulations, in seconds
  std::size_t record_count = 0;                // changes whenever a log grows
  bool ended_by_failure_record = false;        // some job ended without "BATCH_COMPLETE"

  bool ended() const { return state == BatchState::Complete || state == BatchState::Failed; }
  bool anything_failed() const { return state == BatchState::Failed || counts.failed > 0; }
};

// Combines the jobs of one directory (one batch, or the shards of one): a combination reported by
// several jobs counts once, with its latest final outcome; a group's size is the largest any job
// reported. The rate and the time left come from record timestamps only, so they change only
// when the records do.
BatchSummary summarize(const std::string& output_dir, const std::vector<JobState>& jobs);

}  // namespace batch_watch

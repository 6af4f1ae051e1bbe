#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "batch_watch/combination_names.h"
#include "batch_watch/key_index.h"
#include "batch_watch/record_fields.h"
#include "json/json.h"

namespace batch_watch {

// Where one combination stands. Written: built in JSON-only mode. Resumed: its simulation
// succeeded in an earlier run and was not repeated. Skipped: no simulation, but the batch went
// on (no weather file, a missing input, or started and never finished in a batch that ended).
enum class Outcome : std::uint8_t { Pending, Running, Succeeded, Written, Resumed, Skipped, Failed };

// Lower-case name of an outcome as the views and the JSON document show it ("succeeded").
const char* outcome_name(Outcome outcome);

inline bool is_final(Outcome outcome) {
  return outcome != Outcome::Pending && outcome != Outcome::Running;
}

// An instant that no record gave (seconds since the epoch otherwise).
inline constexpr std::int64_t kNoTime = INT64_MIN;

struct ErrorEntry {
  std::string timestamp;
  std::int64_t time = 0;
  std::string job_id;
  std::string code;
  std::string model_name;
  std::string message;
};

// Started: the latest "BATCH_START" is known. Complete: a "BATCH_COMPLETE" follows it. Failed: a
// failure record ended it (see JobFold::end).
enum class JobEnd { NotStarted, Running, Complete, Failed };

inline bool has_ended(JobEnd end) { return end == JobEnd::Complete || end == JobEnd::Failed; }

// One combination as its job's records tell it.
struct CombinationState {
  CombinationKey key;
  Outcome outcome = Outcome::Pending;
  std::int64_t started = kNoTime;   // its engine start, or its "MODEL_START"
  std::int64_t finished = kNoTime;  // when its outcome was recorded
};

// A combination group's size as one job's records tell it.
struct GroupTotal {
  std::uint32_t group;
  std::uint64_t total;
  bool sampled;  // the job runs a sample of the group, of `total` combinations
};

// One job's records folded into its state, one line at a time, so that a watcher reads each line
// once. Only the batch after the last "BATCH_START" counts (start() forgets the rest); an error
// belongs to it when it is not older than that start and names a combination the batch started
// (timestamps have whole seconds, so a rerun in the same second is told apart by that).
//
// Whatever order the processing log's and the error log's lines arrive in, the state is the one
// of reading the whole processing log first and the whole error log after it: an outcome from the
// processing log stands over one from the error log, and an error is judged against everything
// the processing log said.
class JobFold {
 public:
  JobFold(std::string job_id, NameTable& names) : job_id_(std::move(job_id)), names_(&names) {}
  // Moved, never copied: it points into its own tables.
  JobFold(JobFold&&) = default;
  JobFold& operator=(JobFold&&) = default;
  JobFold(const JobFold&) = delete;
  JobFold& operator=(const JobFold&) = delete;

  void start(const RecordFields& batch_start);
  void event(const RecordFields& record);  // a processing event after the start, in log order
  void error(const RecordFields& record);  // an error line, in log order
  // The snapshots as they are now (they are rewritten in place, so only the latest counts).
  void progress(const std::optional<json_text::Json>& snapshot);
  void simulation_progress(const std::optional<json_text::Json>& snapshot);

  const std::string& job_id() const { return job_id_; }
  bool begun() const { return begun_; }  // a "BATCH_START" was read
  std::optional<std::int64_t> start_time() const { return started_; }
  bool json_only() const { return json_only_; }
  std::size_t record_count() const { return record_count_; }  // log lines of this batch
  const std::vector<ErrorEntry>& errors() const { return errors_; }  // in log order
  std::size_t combination_count() const { return records_.size(); }

  // The batch ended with "BATCH_COMPLETE", or with a failure: its latest "SIMULATION_FAILED" or
  // "MERGE_FAILED" error has no later processing event and no combination started after the
  // failed one is still open.
  JobEnd end() const;

  std::vector<GroupTotal> group_totals() const;

  // Every combination in order of first appearance; once the job has ended, those still open
  // were skipped without a record.
  template <typename Visit>
  void for_each_combination(JobEnd end, const Visit& visit) const {
    for (std::uint32_t id = 0; id < records_.size(); ++id) {
      CombinationState state = current(id);
      if (has_ended(end) && state.outcome == Outcome::Running) state.outcome = Outcome::Skipped;
      visit(state);
    }
  }

 private:
  // 40 bytes a combination: what the processing log said of it. Error outcomes, rare, are kept
  // beside it.
  struct Record {
    std::uint64_t index = 0;
    std::int64_t started = kNoTime;   // latest "MODEL_START"
    std::int64_t finished = kNoTime;  // first final processing event
    std::uint64_t start_order = 0;    // position of that start in the processing log
    std::uint32_t group = 0;
    Outcome outcome = Outcome::Pending;  // Running after a start, or the first final event
    std::uint8_t flags = 0;
  };
  static constexpr std::uint8_t kWide = 1, kBare = 2, kFromEvents = 4, kHasErrors = 8;
  static_assert(sizeof(Record) <= 40, "a record per combination stays small");

  struct ErrorMarks {
    std::uint64_t first_seq = UINT64_MAX;  // first accepted error naming the combination
    std::uint64_t final_seq = UINT64_MAX;  // first of them that is an outcome
    Outcome outcome = Outcome::Pending;
    std::int64_t time = kNoTime;
  };

  struct ErrorLine {
    std::uint64_t seq;  // position in the error log
    std::int64_t time;
    std::string timestamp, code, model_name, message;
    std::optional<std::uint64_t> index, total;
  };

  struct Failure {
    std::int64_t time;
    std::uint64_t seq;
    std::uint32_t combination;
  };

  static CombinationKey key_of(const Record& record);
  CombinationState current(std::uint32_t id) const;
  std::uint32_t touch(const CombinationKey& key, std::optional<std::uint64_t> total);
  bool known_before(const CombinationKey& key, std::uint64_t seq) const;
  void accept(ErrorLine line);
  void accept_settled_errors();
  void note_total(std::uint32_t group, std::uint64_t total);
  bool current_batch(const json_text::Json& snapshot) const;
  bool ended_by_failure() const;

  std::string job_id_;
  NameTable* names_;
  std::optional<std::int64_t> started_;
  bool begun_ = false;
  bool complete_ = false;
  bool json_only_ = false;
  std::size_t record_count_ = 0;
  std::uint64_t event_position_ = 0;
  std::uint64_t error_seq_ = 0;
  std::optional<std::int64_t> last_event_time_;
  std::string last_stamp_;  // of the latest event, and its time
  std::int64_t last_time_ = kNoTime;

  std::deque<Record> records_;
  KeyIndex index_;
  std::optional<std::uint32_t> last_touched_;
  std::map<std::uint32_t, std::uint64_t> totals_;
  std::optional<std::pair<std::uint32_t, std::uint64_t*>> last_total_;  // into totals_
  std::map<std::uint32_t, std::uint64_t> sample_totals_;

  std::vector<ErrorEntry> errors_;
  std::vector<std::uint64_t> error_seqs_;  // of errors_
  std::unordered_map<std::uint32_t, ErrorMarks> marks_;
  std::vector<ErrorLine> undecided_;  // in the start's second, naming no known combination yet
  std::optional<Failure> last_failure_;

  std::optional<std::pair<std::uint32_t, std::uint64_t>> progress_total_;
  std::optional<std::pair<std::uint32_t, std::int64_t>> engine_start_;  // combination, time
};

}  // namespace batch_watch

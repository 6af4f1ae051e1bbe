#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "batch_watch/batch_files.h"

namespace batch_watch {

// Where one combination stands. Written: built in JSON-only mode. Resumed: its simulation
// succeeded in an earlier run and was not repeated. Skipped: no simulation, but the batch went
// on (no weather file, a missing input, or started and never finished in a batch that ended).
enum class Outcome { Pending, Running, Succeeded, Written, Resumed, Skipped, Failed };

// Lower-case name of an outcome as the views and the JSON document show it ("succeeded").
const char* outcome_name(Outcome outcome);

struct Combination {
  std::string job_id;
  std::string model_name;
  std::string group;
  std::uint64_t index = 0;
  Outcome outcome = Outcome::Pending;
  std::optional<std::int64_t> started;   // seconds since the epoch
  std::optional<std::int64_t> finished;  // when the outcome was recorded
  std::size_t start_order = 0;           // position of its start in the processing log

  // Seconds from its simulation start to its success or failure; nothing for other outcomes.
  std::optional<std::int64_t> duration() const;
};

struct ErrorEntry {
  std::string timestamp;
  std::int64_t time = 0;
  std::string job_id;
  std::string code;
  std::string model_name;
  std::string message;
};

// Started: the latest "BATCH_START" is known. Complete: a "BATCH_COMPLETE" follows it. Failed: a
// failure record ended it (see aggregate_job).
enum class JobEnd { NotStarted, Running, Complete, Failed };

struct JobState {
  std::string job_id;
  std::string config_name;
  JobEnd end = JobEnd::NotStarted;
  bool json_only = false;
  std::optional<std::int64_t> started;
  std::map<std::string, std::uint64_t> group_totals;  // combinations per group seen so far
  std::vector<Combination> combinations;              // in order of first appearance
  std::vector<ErrorEntry> errors;                     // this batch's errors, in log order
  std::size_t record_count = 0;                       // log lines of this batch

  bool ended() const { return end == JobEnd::Complete || end == JobEnd::Failed; }
};

// Folds one job's records into its state. Only the batch after the last "BATCH_START" counts;
// an error belongs to it when it is not older than that start and names a combination the batch
// started (timestamps have whole seconds, so a rerun in the same second is told apart by that).
//
// The batch ended with "BATCH_COMPLETE", or with a failure: its latest "SIMULATION_FAILED" or
// "MERGE_FAILED" error has no later processing event and no combination started after the
// failed one is still open. Once ended, combinations still open were skipped without a record.
JobState aggregate_job(const JobRecords& records);

}  // namespace batch_watch

#include "batch_watch/job_state.h"

#include <gtest/gtest.h>

#include <string>

#include "batch_watch/record_lines.h"
#include "support/batch_records.h"

namespace batch_watch {
namespace {

using test_support::error;
using test_support::event;
using test_support::progress;
using test_support::sim_progress;

// One line per fact: the end, each combination's outcome and duration, each group's size.
std::string describe(const JobState& job) {
  static const char* const ends[] = {"not started", "running", "complete", "failed"};
  std::string out = std::string(ends[static_cast<int>(job.end)]) + (job.json_only ? " json" : "");
  for (const Combination& c : job.combinations) {
    out += " " + c.model_name + ":" + outcome_name(c.outcome);
    if (auto d = c.duration()) out += "/" + std::to_string(*d) + "s";
  }
  for (const auto& [group, total] : job.group_totals) {
    out += " [" + group + "=" + std::to_string(total) + "]";
  }
  return out + " errors=" + std::to_string(job.errors.size());
}

struct Case {
  const char* name;
  std::string log;
  std::string errors;
  std::string progress_file;
  std::string sim_progress_file;
  std::string expected;
};

TEST(AggregateJob, FoldsTheLatestBatchIntoOutcomes) {
  const std::string start = event(0, "BATCH_START");
  const std::string g0 = event(1, "MODEL_START", "g_0", 0, 3);
  const std::string g0_ok = event(5, "SIMULATION_SUCCESS", "g_0", 0, 3);
  const std::string g1 = event(5, "MODEL_START", "g_1", 1, 3);
  const std::string g1_fail = error(8, "SIMULATION_FAILED", "g_1", 1, 3);
  const std::string complete = event(20, "BATCH_COMPLETE");
  const Case cases[] = {
      {"nothing yet", "", "", "", "", "not started errors=0"},
      {"start line still being written", start.substr(0, 40), "", "", "", "not started errors=0"},
      {"first model running", start + g0, "", "", "", "running g_0:running [g=3] errors=0"},
      {"a failure with nothing after it ends the batch", start + g0 + g0_ok + g1, g1_fail, "", "",
       "failed g_0:succeeded/4s g_1:failed/3s [g=3] errors=1"},
      {"keep-going: the next model started in the same second", start + g0 + g0_ok + g1 +
           event(8, "MODEL_START", "g_2", 2, 3), g1_fail, "", "",
       "running g_0:succeeded/4s g_1:failed/3s g_2:running [g=3] errors=1"},
      {"keep-going: complete after a failure", start + g0 + g0_ok + g1 +
           event(8, "MODEL_START", "g_2", 2, 3) + event(9, "SIMULATION_SUCCESS", "g_2", 2, 3) +
           complete, g1_fail, "", "",
       "complete g_0:succeeded/4s g_1:failed/3s g_2:succeeded/1s [g=3] errors=1"},
      {"complete line not yet whole", start + g0 + g0_ok + complete.substr(0, 50), "", "", "",
       "running g_0:succeeded/4s [g=3] errors=0"},
      {"open combinations of an ended batch were skipped", start + g0 + g1 + g0_ok + complete,
       error(5, "WEATHER_FILE_NOT_FOUND", "g_1", 1, 3), "", "",
       "complete g_0:succeeded/4s g_1:skipped [g=3] errors=1"},
      {"parallel runs finish out of order",
       start + g0 + g1 + event(2, "MODEL_START", "g_2", 2, 3) +
           event(6, "SIMULATION_SUCCESS", "g_2", 2, 3) + g0_ok,
       "", "", "", "running g_0:succeeded/4s g_1:running g_2:succeeded/4s [g=3] errors=0"},
      {"parallel: a failure while a later run is in flight does not end it yet",
       start + g0 + g1 + event(2, "MODEL_START", "g_2", 2, 3), g1_fail, "", "",
       "running g_0:running g_1:failed/3s g_2:running [g=3] errors=1"},
      {"resumed and written combinations", start + event(1, "RESUME_SKIP", "g_0", 0, 3) +
           event(1, "MODEL_START", "h_0", 0, 1) + event(1, "JSON_ONLY_SKIP", "h_0", 0, 1), "",
       "", "", "running json g_0:resumed h_0:written [g=3] [h=1] errors=0"},
      {"a merge failure ends the batch", start + g0, error(1, "MERGE_FAILED", "g_0", 0, 3), "", "",
       "failed g_0:failed/0s [g=3] errors=1"},
      {"only the latest batch counts",
       start + g0 + g1 + g1_fail.substr(0, 0) + event(30, "BATCH_START") +
           event(31, "MODEL_START", "g_0", 0, 2),
       g1_fail + error(30, "SIMULATION_FAILED", "g_1", 1, 3), "", "",
       "running g_0:running [g=2] errors=0"},
      {"the next group's size comes from the progress snapshot", start + g0 + g0_ok, "",
       progress(6, 0, 7, "next", "Starting batch processing"), "",
       "running g_0:succeeded/4s [g=3] [next=7] errors=0"},
      {"a snapshot per model names its group", start + g0, "",
       progress(1, 2, 9, "h_x_1", "Parameter file not found: p.json"), "",
       "running g_0:running [g=3] [h_x=9] errors=0"},
      {"a snapshot from an earlier batch, or half written, adds nothing",
       event(40, "BATCH_START") + event(41, "MODEL_START", "g_0", 0, 3), "",
       progress(39, 0, 7, "next", "Starting batch processing"), "",
       "running g_0:running [g=3] errors=0"},
  };
  for (const Case& c : cases) {
    JobRecords records;
    records.job_id = "native_test";
    records.events = complete_records(c.log);
    records.errors = complete_records(c.errors);
    records.progress = snapshot_record(c.progress_file);
    records.simulation_progress = snapshot_record(c.sim_progress_file);
    EXPECT_EQ(describe(aggregate_job(records)), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace batch_watch

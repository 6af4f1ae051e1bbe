#include "batch_watch/job_fold.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "batch_watch/job_reader.h"
#include "support/batch_records.h"

namespace batch_watch {
namespace {

using test_support::error;
using test_support::event;
using test_support::progress;
using test_support::sim_progress;

// One line per fact: the end, each combination's outcome and duration, each group's size.
std::string describe(const JobFold& job, const NameTable& names) {
  static const char* const ends[] = {"not started", "running", "complete", "failed"};
  const JobEnd end = job.end();
  std::string out = std::string(ends[static_cast<int>(end)]) + (job.json_only() ? " json" : "");
  job.for_each_combination(end, [&](const CombinationState& c) {
    out += " " + names.model_name(c.key) + ":" + outcome_name(c.outcome);
    if ((c.outcome == Outcome::Succeeded || c.outcome == Outcome::Failed) &&
        c.started != kNoTime && c.finished != kNoTime) {
      out += "/" + std::to_string(c.finished - c.started) + "s";
    }
  });
  std::vector<std::string> totals;
  for (const GroupTotal& total : job.group_totals()) {
    totals.push_back(" [" + names.group_name(total.group) + (total.sampled ? " sample" : "") +
                     "=" + std::to_string(total.total) + "]");
  }
  std::sort(totals.begin(), totals.end());
  for (const std::string& total : totals) out += total;
  return out + " errors=" + std::to_string(job.errors().size());
}

// A record of a sampled combination whose index is too wide for 64 bits: the batch writes the
// exact decimal number.
std::string wide(std::string record, const std::string& index) {
  const std::string narrow = "\"combination_index\":0";
  return record.replace(record.find(narrow), narrow.size(), "\"combination_index\":" + index);
}

struct Case {
  const char* name;
  std::string log;
  std::string errors;
  std::string progress_file;
  std::string sim_progress_file;
  std::string expected;
};

TEST(FoldJob, FoldsTheLatestBatchIntoOutcomes) {
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
      {"an outcome in the processing log stands over one in the error log", start + g0 + g0_ok,
       error(6, "SIMULATION_FAILED", "g_0", 0, 3), "", "", "failed g_0:succeeded/4s [g=3] errors=1"},
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
      {"a retried run is still running, then its last attempt decides",
       start + g0 + event(3, "SIMULATION_RETRY", "g_0", 0, 3), "", "", "",
       "running g_0:running [g=3] errors=0"},
      {"a run stopped by the time limit failed", start + g0 + event(3, "SIMULATION_RETRY", "g_0", 0, 3),
       [&] {
         std::string line = error(9, "SIMULATION_FAILED", "g_0", 0, 3);
         const std::string message = "Simulation failed: exit \\\"3\\\"";
         return line.replace(line.find(message), message.size(),
                             "Simulation failed: the engine was stopped after 1 s (time limit)");
       }(),
       "", "", "failed g_0:failed/8s [g=3] errors=1"},
      {"a sample: the group runs its sample's size and is no combination itself",
       start + event(1, "GROUP_SAMPLE", "h_x", 0, 3) +
           event(1, "MODEL_START", "h_x_987654321098", 987654321098, 1'000'000'000'000) +
           event(2, "JSON_ONLY_SKIP", "h_x_987654321098", 987654321098, 1'000'000'000'000) +
           wide(event(2, "MODEL_START", "h_x_12345678901234567890123"), "12345678901234567890123"),
       // The snapshot counts through the sample; the name gives the group.
       "", progress(2, 2, 1'000'000'000'000, "h_x_987654321098", "Processing model"), "",
       "running json h_x_987654321098:written h_x_12345678901234567890123:running [h_x sample=3] "
       "errors=0"},
      {"a snapshot from an earlier batch, or half written, adds nothing",
       event(40, "BATCH_START") + event(41, "MODEL_START", "g_0", 0, 3), "",
       progress(39, 0, 7, "next", "Starting batch processing"), "",
       "running g_0:running [g=3] errors=0"},
  };
  for (const Case& c : cases) {
    NameTable names;
    const JobFold job = fold_job("native_test", names,
                                 {c.log, c.errors, c.progress_file, c.sim_progress_file});
    EXPECT_EQ(describe(job, names), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace batch_watch

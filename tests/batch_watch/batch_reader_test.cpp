#include "batch_watch/batch_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "batch_watch/live_view.h"
#include "support/batch_records.h"
#include "support/temp_dir.h"

namespace batch_watch {
namespace {

using test_support::error;
using test_support::event;
using test_support::progress;

const std::string kShard0 = "native_test_shard_0_of_2";
const std::string kShard1 = "native_test_shard_1_of_2";

void write_log(const test_support::TempDir& dir, const std::string& job, const std::string& text) {
  dir.write("out/logs/processing/batch_processing_" + job + ".log", text);
}

// Two shards share one directory; combination k of the batch belongs to shard k % 2 and both
// report the group's full size. The directory also holds a stray file that is not a record.
TEST(ReadBatch, CombinesTheShardsOfOneBatch) {
  test_support::TempDir dir;
  dir.write("out/logs/processing/notes.txt", "not a log");
  write_log(dir, kShard0,
            event(0, "BATCH_START", "", 0, 0, kShard0) +
                event(1, "MODEL_START", "g_0", 0, 4, kShard0) +
                event(4, "SIMULATION_SUCCESS", "g_0", 0, 4, kShard0) +
                event(4, "MODEL_START", "g_2", 2, 4, kShard0));
  write_log(dir, kShard1,
            event(0, "BATCH_START", "", 0, 0, kShard1) +
                event(1, "MODEL_START", "g_1", 1, 4, kShard1) +
                event(2, "MODEL_START", "g_3", 3, 4, kShard1));
  dir.write("out/logs/errors/batch_errors_" + kShard1 + ".jsonl",
            error(3, "SIMULATION_FAILED", "g_1", 1, 4, kShard1).substr(0, 10) + "\n" +
                error(3, "SIMULATION_FAILED", "g_1", 1, 4, kShard1));
  // A progress file caught while it is rewritten: empty for one shard, a prefix for the other.
  dir.write("out/progress_" + kShard0 + ".json", "");
  dir.write("out/sim_progress_" + kShard1 + ".json",
            progress(5, 0, 9, "later", "Starting batch processing", kShard1).substr(0, 60));

  BatchSummary summary = read_batch(dir.path() / "out", "out");
  EXPECT_EQ(summary.job_ids, (std::vector<std::string>{kShard0, kShard1}));
  EXPECT_EQ(render_status_line(summary),
            "[running] 2/4 done (50%): succeeded 1, skipped 0, failed 1, running 2; "
            "30.0/min, about 4s left");
  ASSERT_EQ(summary.groups.size(), 1u);
  EXPECT_EQ(summary.groups[0].cells.size(), 4u);

  // Shard 1 ended with its failure; the batch goes on while shard 0 runs.
  write_log(dir, kShard1,
            event(0, "BATCH_START", "", 0, 0, kShard1) +
                event(1, "MODEL_START", "g_1", 1, 4, kShard1));
  summary = read_batch(dir.path() / "out", "out");
  EXPECT_EQ(summary.state, BatchState::Running);
  EXPECT_EQ(summary.ended_job_ids, std::vector<std::string>{kShard1});

  write_log(dir, kShard0,
            event(0, "BATCH_START", "", 0, 0, kShard0) +
                event(1, "MODEL_START", "g_0", 0, 4, kShard0) +
                event(4, "SIMULATION_SUCCESS", "g_0", 0, 4, kShard0) +
                event(4, "MODEL_START", "g_2", 2, 4, kShard0) +
                event(9, "SIMULATION_SUCCESS", "g_2", 2, 4, kShard0) +
                event(9, "BATCH_COMPLETE", "", 0, 0, kShard0));
  summary = read_batch(dir.path() / "out", "out");
  EXPECT_EQ(render_status_line(summary),
            "[failed] 3/4 done (75%): succeeded 2, skipped 0, failed 1, running 0; 20.0/min");
  EXPECT_TRUE(summary.anything_failed());
}

// Each shard's id names how many shards its batch has: the batch has not ended while one of them
// has left nothing in the directory, as when it still waits in a scheduler's queue.
TEST(ReadBatch, AShardedBatchEndsOnlyOnceEveryShardHas) {
  const struct {
    std::vector<std::string> completed;  // jobs whose log holds one finished combination
    BatchState state;
    std::string note;  // on the view's state line
  } kRows[] = {
      {{"native_test"}, BatchState::Complete, ""},
      {{"native_test_shard_0_of_1"}, BatchState::Complete, ""},
      {{kShard0}, BatchState::Running, "  (2 jobs, 1 ended)"},
      {{kShard0, kShard1}, BatchState::Complete, "  (2 jobs, 2 ended)"},
      {{"native_test_shard_0_of_3", "native_test_shard_2_of_3"}, BatchState::Running,
       "  (3 jobs, 2 ended)"},
      // A rerun with another shard count in the same directory is a batch of its own.
      {{kShard0, kShard1, "native_test_shard_1_of_3"}, BatchState::Running, "  (5 jobs, 3 ended)"},
      // Ids that do not name a shard of a batch are jobs like any other.
      {{"native_test_shard_2_of_2", "a_shard_x_of_2"}, BatchState::Complete, "  (2 jobs, 2 ended)"},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(testing::PrintToString(row.completed));
    test_support::TempDir dir;
    std::uint64_t index = 0;
    for (const std::string& job : row.completed) {
      const std::string model = "g_" + std::to_string(index);
      write_log(dir, job,
                event(0, "BATCH_START", "", 0, 0, job) +
                    event(1, "MODEL_START", model, index, 9, job) +
                    event(2, "JSON_ONLY_SKIP", model, index, 9, job) +
                    event(2, "BATCH_COMPLETE", "", 0, 0, job));
      ++index;
    }
    const BatchSummary summary = read_batch(dir.path() / "out", "out");
    EXPECT_EQ(summary.state, row.state);
    const std::string title = render_live_view(summary, ViewStyle{}).front();
    const auto note = title.find("  (");
    EXPECT_EQ(note == std::string::npos ? "" : title.substr(note), row.note) << title;
  }
}

TEST(ReadBatch, AMissingOrEmptyDirectoryIsWaiting) {
  test_support::TempDir dir;
  for (const char* name : {"absent", "."}) {
    const BatchSummary summary = read_batch(dir.path() / name, name);
    EXPECT_TRUE(summary.job_ids.empty());
    EXPECT_EQ(summary.state, BatchState::Waiting);
  }
}

// A batch that logged its completion is over at once; one that a failure ended only after the
// logs stayed the same for the quiet reads, since a keep-going batch may still go on.
TEST(EndConfirmation, WaitsForQuietLogsOnlyAfterAFailure) {
  BatchSummary running, complete, failed, failed_grown;
  running.state = BatchState::Running;
  complete.state = BatchState::Complete;
  failed.state = failed_grown.state = BatchState::Failed;
  failed.ended_by_failure_record = failed_grown.ended_by_failure_record = true;
  failed.record_count = 5;
  failed_grown.record_count = 6;

  EndConfirmation end(3);
  EXPECT_TRUE(end.confirm(complete));
  const BatchSummary sequence[] = {failed, failed, failed_grown, failed, running,
                                   failed, failed, failed};
  const bool expected[] = {false, false, false, false, false, false, false, true};
  for (std::size_t i = 0; i < std::size(sequence); ++i) {
    EXPECT_EQ(end.confirm(sequence[i]), expected[i]) << i;
  }
}

}  // namespace
}  // namespace batch_watch

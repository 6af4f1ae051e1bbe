// The watcher reads only what the logs gained since its last read; what it shows must be exactly
// what a fresh read of everything shows, however the writes were cut.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "batch_watch/batch_reader.h"
#include "batch_watch/html_report.h"
#include "batch_watch/live_view.h"
#include "batch_watch/summary_json.h"
#include "platform/file_system.h"
#include "support/batch_records.h"
#include "support/temp_dir.h"

namespace batch_watch {
namespace {

namespace fs = std::filesystem;
using test_support::error;
using test_support::event;

enum File { kEvents, kErrors, kProgress, kSimulation };

struct Line {
  File file;
  std::string text;
};

struct Model {
  std::string name, index, position;  // position: the progress snapshot's, index + 1
};

// Groups the runs draw from: "g" run in full, and "h_1" sampled with sparse and wide indices.
const std::vector<Model> kModels = {
    {"g_0", "0", "1"}, {"g_1", "1", "2"}, {"g_2", "2", "3"}, {"g_3", "3", "4"}, {"g_4", "4", "5"},
    {"h_1_987654321098", "987654321098", "987654321099"}, {"h_1_5", "5", "6"},
    {"h_1_12345678901234567890123", "12345678901234567890123", "12345678901234567890124"}};

// A number written as the batch writes it, however wide.
std::string with_number(std::string line, const std::string& member, const std::string& value) {
  const auto at = line.find("\"" + member + "\":");
  const auto start = line.find_first_of("0123456789", at);
  const auto end = line.find_first_not_of("0123456789", start);
  return line.replace(start, end - start, value);
}

// Every line holds "T10:", which rewrite_in_place changes.
const std::string kNotRecords = "not a record T10:\n{\"timestamp\":\"2026-12-06T10:\n";

// What one job's batches write, in the order they write it: runs that restart with a new
// "BATCH_START" (sometimes in the same second), retries, every kind of outcome, errors of an
// earlier run, snapshots, and lines that are not records.
std::vector<Line> history(std::mt19937& rng, const std::string& job) {
  const auto chance = [&](int percent) { return static_cast<int>(rng() % 100) < percent; };
  std::vector<Line> lines;
  int t = static_cast<int>(rng() % 5);
  const int runs = 1 + static_cast<int>(rng() % 3);
  for (int run = 0; run < runs; ++run) {
    lines.push_back({kEvents, event(t, "BATCH_START", "", 0, 0, job)});
    if (chance(40)) lines.push_back({kErrors, error(t, "SIMULATION_FAILED", "g_1", 1, 5, job)});
    if (chance(50)) lines.push_back({kEvents, event(t, "GROUP_SAMPLE", "h_1", 0, 3, job)});
    for (const Model& m : kModels) {
      if (!chance(70)) continue;
      const std::string& model = m.name;
      const std::uint64_t total = model[0] == 'g' ? 5 : 0;
      const auto record = [&](const std::string& text) {
        return with_number(text, "combination_index", m.index);
      };
      t += static_cast<int>(rng() % 2);
      lines.push_back({kProgress, with_number(test_support::progress(t, 0, total, model,
                                                                     "Processing model", job),
                                              "current_combination", m.position)});
      lines.push_back({kEvents, record(event(t, "MODEL_START", model, 0, total, job))});
      if (chance(30)) lines.push_back({kEvents, record(event(t, "SIMULATION_RETRY", model, 0, total, job))});
      if (chance(50)) {
        lines.push_back({kSimulation, test_support::sim_progress(t + 1, model,
                                                                 "Starting simulation", job)});
      }
      t += static_cast<int>(rng() % 3);
      switch (rng() % 8) {
        case 0: lines.push_back({kEvents, record(event(t, "SIMULATION_SUCCESS", model, 0, total, job))}); break;
        case 1: lines.push_back({kEvents, record(event(t, "JSON_ONLY_SKIP", model, 0, total, job))}); break;
        case 2: lines.push_back({kEvents, record(event(t, "RESUME_SKIP", model, 0, total, job))}); break;
        case 3: lines.push_back({kErrors, record(error(t, "SIMULATION_FAILED", model, 0, total, job))}); break;
        case 4: lines.push_back({kErrors, record(error(t, "WEATHER_FILE_NOT_FOUND", model, 0, total, job))}); break;
        case 5: lines.push_back({kErrors, record(error(t, "MERGE_FAILED", model, 0, total, job))}); break;
        case 6: lines.push_back({kEvents, kNotRecords}); break;
        default: break;  // still running
      }
    }
    if (chance(60)) lines.push_back({kEvents, event(t, "BATCH_COMPLETE", "", 0, 0, job)});
    t += static_cast<int>(rng() % 2);
  }
  return lines;
}

// One job's files, written the way the batch (or a user) does: logs appended in pieces that cut
// lines anywhere, snapshots rewritten whole or caught half written, and now and then a log
// replaced by a shorter one or rewritten in place.
class JobFiles {
 public:
  JobFiles(const fs::path& dir, const std::string& job, std::vector<Line> lines)
      : paths_{dir / "logs" / "processing" / ("batch_processing_" + job + ".log"),
               dir / "logs" / "errors" / ("batch_errors_" + job + ".jsonl"),
               dir / ("progress_" + job + ".json"), dir / ("sim_progress_" + job + ".json")},
        lines_(std::move(lines)) {
    fs::create_directories(paths_[kEvents].parent_path());
    fs::create_directories(paths_[kErrors].parent_path());
  }

  bool done() const { return next_ == lines_.size() && pending_[kEvents].empty() &&
                             pending_[kErrors].empty(); }

  void step(std::mt19937& rng) {
    const int action = static_cast<int>(rng() % 20);
    if (action == 0) return shorten(rng, static_cast<File>(rng() % 2), rng() % 2 == 0);
    if (action == 1) return rewrite_in_place(kEvents);
    // The batch's next records join what is still to be written.
    for (int k = static_cast<int>(rng() % 3); k >= 0 && next_ < lines_.size(); --k, ++next_) {
      const Line& line = lines_[next_];
      if (line.file == kProgress || line.file == kSimulation) {
        const std::size_t cut = rng() % 4 == 0 ? rng() % line.text.size() : line.text.size();
        overwrite(paths_[line.file], line.text.substr(0, cut));
      } else {
        pending_[line.file] += line.text;
      }
    }
    const File log = static_cast<File>(rng() % 2);
    const std::size_t piece = std::min<std::size_t>(pending_[log].size(), 1 + rng() % 400);
    append(log, pending_[log].substr(0, piece));
    pending_[log].erase(0, piece);
  }

 private:
  static void overwrite(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
  }

  void append(File log, const std::string& text) {
    std::ofstream(paths_[log], std::ios::binary | std::ios::app) << text;
    written_[log] += text;
  }

  // Whoever replaces a log writes whole lines: the line being appended is given up.
  void drop_partial_line(File log) {
    std::string& text = written_[log];
    if (text.empty() || text.back() == '\n') return;
    text.resize(text.rfind('\n') + 1);
    const auto rest = pending_[log].find('\n');
    pending_[log].erase(0, rest == std::string::npos ? rest : rest + 1);
  }

  // Back to an earlier line end, by a new file renamed over the log or in place.
  void shorten(std::mt19937& rng, File log, bool replace) {
    drop_partial_line(log);
    std::string& text = written_[log];
    std::vector<std::size_t> ends{0};
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1)) {
      ends.push_back(at + 1);
    }
    if (ends.size() < 2) return;
    text.resize(ends[rng() % (ends.size() - 1)]);
    if (replace) {
      ASSERT_TRUE(platform::replace_file(paths_[log], text).has_value());
    } else {
      overwrite(paths_[log], text);
    }
  }

  // The same length or longer, other records: what copying another log over this one does.
  void rewrite_in_place(File log) {
    drop_partial_line(log);
    std::string& text = written_[log];
    for (std::size_t at = 0; (at = text.find("T10:", at)) != std::string::npos; at += 4) {
      text[at + 2] = '1';
    }
    text += event(59, "MODEL_START", "g_4", 4, 5, "someone_else");
    overwrite(paths_[log], text);
  }

  std::array<fs::path, 4> paths_;
  std::vector<Line> lines_;
  std::size_t next_ = 0;
  std::array<std::string, 2> pending_, written_;
};

void expect_same(const BatchSummary& incremental, const BatchSummary& fresh) {
  EXPECT_EQ(summary_to_json(incremental), summary_to_json(fresh));
  EXPECT_EQ(render_html_report(incremental, "now"), render_html_report(fresh, "now"));
  EXPECT_EQ(render_status_line(incremental), render_status_line(fresh));
  EXPECT_EQ(incremental.record_count, fresh.record_count);
  EXPECT_EQ(incremental.ended_by_failure_record, fresh.ended_by_failure_record);
}

TEST(IncrementalRead, ShowsWhatAFreshReadShowsAfterEveryPiece) {
  for (unsigned seed = 1; seed <= 60; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    test_support::TempDir dir;
    const fs::path out = dir.path() / "out";
    // Two jobs that name the same combinations, as a rerun under another id does.
    std::vector<JobFiles> jobs;
    jobs.emplace_back(out, "native_test", history(rng, "native_test"));
    if (seed % 3 == 0) jobs.emplace_back(out, "rerun", history(rng, "rerun"));
    BatchReader follower(out, "out");
    for (int step = 0; step < 400 && !std::all_of(jobs.begin(), jobs.end(), [](const JobFiles& j) {
                         return j.done();
                       });
         ++step) {
      jobs[rng() % jobs.size()].step(rng);
      if (rng() % 4 == 0) follower.read(SummaryDetail::Counts);
      const BatchSummary& incremental = follower.read(SummaryDetail::Cells);
      expect_same(incremental, read_batch(out, "out"));
      if (testing::Test::HasFailure()) return;
    }
  }
}

}  // namespace
}  // namespace batch_watch

// Runs every shard of a batch into one output directory and compares the result with the same
// batch run whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "bin/ensemble_probe_e2e_support.h"

namespace probe_e2e {
namespace {

const std::string kWatch = ENSEMBLE_WATCH_BINARY;

// Group a has five combinations, so group b's batch-wide numbers start at 5: a shard that
// counted each group from 0 would pick the wrong ones of b.
const std::vector<std::string> kBatchOrder = {"a_0", "a_1", "a_2", "a_3", "a_4",
                                              "b_0", "b_1", "b_2", "b_3"};

void write_batch(const ProbeWorkspace& ws) {
  write_house_parameters(ws);
  for (int efficacy : {140, 160, 180}) {
    ws.param("lighting/e" + std::to_string(efficacy) + ".json",
             R"({"Lighting": {"efficacy": )" + std::to_string(efficacy) + "}}");
  }
  ws.param("weather_files/site.json", R"({"weather_file": "site.epw"})");
  ws.param("weather_files/site.epw", "weather");
  ws.config("batch.json", R"({
    "a": {"base_json": ["house"], "weather_files": ["site"], "tariff": ["t2"],
          "lighting": ["l1", "l2", "e140", "e160", "e180"]},
    "b": {"base_json": ["house"], "weather_files": ["site"], "tariff": ["t1", "t3"],
          "lighting": ["l2", "l1"]}})");
  ws.engine("stand_in_engine.sh");
}

// Every variant file below `out`, and in simulation mode what each engine run kept, with its
// bytes.
std::map<std::string, std::string> result_files(const ProbeWorkspace& ws, const std::string& out) {
  std::map<std::string, std::string> files;
  for (const auto& name : ws.tree(out)) {
    // Outcome records carry the time they were written; their names are compared below.
    if (name.starts_with("result_") && !name.ends_with("/simulation_outcome.json") &&
        !fs::is_directory(ws.root() / out / name)) {
      files[name] = ws.read(out + "/" + name);
    }
  }
  return files;
}

// The names in an output directory with each shard's job id read as the unsharded one.
std::set<std::string> names_as_unsharded(const ProbeWorkspace& ws, const std::string& out) {
  static const std::regex shard_id("native_test_shard_\\d+_of_\\d+");
  std::set<std::string> names;
  for (const auto& name : ws.tree(out)) {
    names.insert(std::regex_replace(name, shard_id, "native_test"));
  }
  return names;
}

std::string model_of(const std::string& log_line) {
  static const std::regex model(R"re("model_name":"([^"]*)")re");
  std::smatch found;
  return std::regex_search(log_line, found, model) ? found[1].str() : "";
}

// The log lines about combinations, timestamps masked and the job id made the unsharded one.
std::multiset<std::string> combination_lines(const std::string& log, const std::string& job_id) {
  std::multiset<std::string> lines;
  std::istringstream in(log);
  const std::string shard_field = "\"job_id\":\"" + job_id + "\"";
  for (std::string line; std::getline(in, line);) {
    if (model_of(line).empty()) continue;
    const auto at = line.find(shard_field);
    if (at != std::string::npos) line.replace(at, shard_field.size(), "\"job_id\":\"native_test\"");
    lines.insert(line);
  }
  return lines;
}

// The monitor's summary of `out`, which must exit with `status` (3: the batch has not ended).
nlohmann::json watch_summary(const ProbeWorkspace& ws, const std::string& out, int status = 0) {
  const ProgramRun run = test_support::run_program(kWatch, {"--once", "--json", out}, ws.root());
  EXPECT_EQ(run.exit_code, status) << run.err;
  return nlohmann::json::parse(run.out);
}

std::size_t files_in(const fs::path& directory) {
  if (!fs::exists(directory)) return 0;
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(directory), {}));
}

TEST(EnsembleProbeShard, AllShardsTogetherAreTheWholeBatch) {
  const struct {
    unsigned count;
    std::vector<std::string> options;
  } kRows[] = {
      {1, {}},
      {2, {}},
      {3, {"--jobs", "2"}},
      {12, {}},  // more shards than combinations: some have nothing to do
      {2, {"--simulation"}},
      {3, {"--simulation", "--jobs", "2"}},
      {4, {"--jobs=3", "--simulation"}},
  };
  for (const auto& row : kRows) {
    const bool simulation = std::ranges::find(row.options, "--simulation") != row.options.end();
    SCOPED_TRACE(std::to_string(row.count) + " shards, " + testing::PrintToString(row.options));
    ProbeWorkspace ws;
    write_batch(ws);
    const auto run = [&](std::vector<std::string> words, const std::string& out,
                         const std::string& records) {
      words.insert(words.end(), row.options.begin(), row.options.end());
      words.insert(words.end(), {"ws/input/configs/batch.json", out});
      return ws.probe_with_tmp(words, "",
                               {"STAND_IN_RECORD_DIR=" + (ws.root() / records).string()});
    };
    const ProgramRun whole = run({}, "whole", "runs_whole");
    ASSERT_EQ(whole.exit_code, 0) << whole.err;
    const auto expected_lines = combination_lines(processing_log(ws, "whole"), "native_test");

    std::multiset<std::string> sharded_lines;
    for (unsigned k = 0; k < row.count; ++k) {
      const std::string shard = std::to_string(k) + "/" + std::to_string(row.count);
      const std::string job_id =
          "native_test_shard_" + std::to_string(k) + "_of_" + std::to_string(row.count);
      const ProgramRun part = run({"--shard", shard}, "out", "runs_sharded");
      ASSERT_EQ(part.exit_code, 0) << shard << "\n" << part.err;
      EXPECT_EQ(part.err, "");
      EXPECT_NE(part.out.find("[NATIVE_BATCH] Job ID: " + job_id + "\n"), std::string::npos);
      const std::string log =
          mask_timestamps(ws.read("out/logs/processing/batch_processing_" + job_id + ".log"));
      std::set<std::string> models;
      for (const auto& line : combination_lines(log, job_id)) {
        sharded_lines.insert(line);
        models.insert(model_of(line));
      }
      std::set<std::string> expected_models;
      for (std::size_t n = k; n < kBatchOrder.size(); n += row.count) {
        expected_models.insert(kBatchOrder[n]);
      }
      EXPECT_EQ(models, expected_models) << shard;
      // Until the last shard has run, the monitor knows the batch has not ended.
      if (k + 1 < row.count) {
        EXPECT_EQ(watch_summary(ws, "out", 3)["state"], "running") << shard;
      }
    }
    // Each combination in exactly one shard, said as the whole run says it.
    EXPECT_EQ(sharded_lines, expected_lines);
    EXPECT_EQ(result_files(ws, "out"), result_files(ws, "whole"));
    // A variant, and for a simulation also the engine's two streams.
    EXPECT_EQ(result_files(ws, "out").size(), (simulation ? 3 : 1) * kBatchOrder.size());
    EXPECT_EQ(names_as_unsharded(ws, "out"), names_as_unsharded(ws, "whole"));
    EXPECT_FALSE(ws.exists("out/progress_native_test.json"));
    EXPECT_EQ(files_in(ws.root() / "runs_sharded"), files_in(ws.root() / "runs_whole"));
    EXPECT_EQ(files_in(ws.root() / "runs_whole"), simulation ? 2 * kBatchOrder.size() : 0);
    EXPECT_EQ(ws.tree("tmp"), Tree{});

    // The monitor reads the shards' records as one batch.
    const auto sharded = watch_summary(ws, "out");
    const auto reference = watch_summary(ws, "whole");
    EXPECT_EQ(sharded["counts"], reference["counts"]);
    EXPECT_EQ(sharded["counts"]["total"], kBatchOrder.size());
    EXPECT_EQ(sharded["counts"]["done"], kBatchOrder.size());
    EXPECT_EQ(sharded["ended_job_ids"].size(), row.count);
  }
}

// A bad shard is refused before anything is made, in the words the user typed.
TEST(EnsembleProbeShard, BadValueIsNamedAndNothingIsCreated) {
  for (const std::string value : {"3/3", "-1/2", "a/b", "2"}) {
    SCOPED_TRACE(value);
    ProbeWorkspace ws;
    write_batch(ws);
    const ProgramRun run =
        ws.probe_with_tmp({"--simulation", "--shard", value, "ws/input/configs/batch.json", "out"});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "[ensemble_probe] Invalid shard '" + value +
                           "': expected K/N, two whole numbers with 0 <= K < N\n");
    EXPECT_FALSE(ws.exists("out"));
    EXPECT_EQ(ws.tree("tmp"), Tree{});
  }
}

}  // namespace
}  // namespace probe_e2e

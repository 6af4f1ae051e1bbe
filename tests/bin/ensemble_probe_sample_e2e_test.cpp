// Runs sampled batches with the built programs: the probe runs the sample, its resumed rerun and
// its shards; the study table and the watcher see exactly the sample.
#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "bin/ensemble_probe_e2e_support.h"

namespace probe_e2e {
namespace {

using Names = std::set<std::string>;

const std::string kCollect = ENSEMBLE_COLLECT_BINARY;
const std::string kWatch = ENSEMBLE_WATCH_BINARY;

// Group g has 5 lighting x 3 tariff = 15 combinations, index = lighting * 3 + tariff (the first
// list in key order varies slowest); group small has 2, fewer than the sample, so it runs whole.
void write_study(const ProbeWorkspace& ws) {
  write_house_parameters(ws);
  for (const char* extra : {"l3", "l4", "l5"}) {
    ws.param(std::string("lighting/") + extra + ".json", R"({"Lighting": {"efficacy": 150}})");
  }
  ws.param("weather_files/site.json", R"({"weather_file": "site.epw"})");
  ws.param("weather_files/site.epw", "weather");
  ws.config("s.json", R"({
    "g": {"base_json": ["house"], "weather_files": ["site"],
          "lighting": ["l1", "l2", "l3", "l4", "l5"], "tariff": ["t1", "t2", "t3"]},
    "small": {"base_json": ["house"], "weather_files": ["site"], "tariff": ["t1", "t2"]}})");
  ws.engine("stand_in_engine.sh");
}

// The model names of the result directories below `out` ("result_s_g_4" gives "g_4").
Names models_in(const ProbeWorkspace& ws, const std::string& out, const std::string& config) {
  Names names;
  const std::string prefix = "result_" + config + "_";
  for (const auto& entry : fs::directory_iterator(ws.root() / out)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with(prefix)) names.insert(name.substr(prefix.size()));
  }
  return names;
}

std::size_t count_of(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// The model names in the study table's model_name column (the fourth).
Names table_models(const ProbeWorkspace& ws, const std::string& csv) {
  Names names;
  std::istringstream in(ws.read(csv));
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::istringstream cells(line);
    std::string cell;
    for (int i = 0; i < 4; ++i) std::getline(cells, cell, ',');
    names.insert(cell);
  }
  return names;
}

TEST(EnsembleProbeSample, SampledBatchResumesShardsAndIsWhatTheTableAndTheWatcherSee) {
  for (const std::string method : {"random", "balanced"}) {
    SCOPED_TRACE(method);
    ProbeWorkspace ws;
    write_study(ws);
    const std::vector<std::string> sample = {"--sample", "6", "--seed=11", "--sample-method",
                                             method};
    const auto probe = [&](std::vector<std::string> words, const std::string& out) {
      words.insert(words.begin(), "--simulation");
      words.insert(words.end(), sample.begin(), sample.end());
      words.insert(words.end(), {"ws/input/configs/s.json", out});
      return ws.probe_with_tmp(words, "", {"STAND_IN_RECORD_DIR=" + (ws.root() / "runs").string()});
    };
    const ProgramRun first = probe({}, "out");
    ASSERT_EQ(first.exit_code, 0) << first.err;
    const std::string message = "Sample: 6 of 15 combinations of group g (" + method + ", seed 11)";
    EXPECT_EQ(count_of(first.out, "[ensemble_probe] Sample: "), 1u);
    EXPECT_EQ(count_of(first.out, "[ensemble_probe] " + message + "\n"), 1u);
    EXPECT_EQ(count_of(processing_log(ws), event_line("s", "GROUP_SAMPLE", message, "g", 0, 6)),
              1u);
    const Names models = models_in(ws, "out", "s");
    ASSERT_EQ(models.size(), 8u);
    EXPECT_TRUE(models.contains("small_0") && models.contains("small_1"));
    std::map<int, int> lighting, tariff;
    for (const std::string& model : models) {
      if (!model.starts_with("g_")) continue;
      const int index = std::stoi(model.substr(2));
      ASSERT_LT(index, 15);
      ++lighting[index / 3];
      ++tariff[index % 3];
      // Its full index, in the records too.
      EXPECT_EQ(count_of(first.out, "\"current_model_name\": \"" + model + "\""), 1u);
      EXPECT_EQ(count_of(processing_log(ws), model_start("s", model, index, 15)), 1u);
    }
    if (method == "balanced") {
      EXPECT_EQ(tariff, (std::map<int, int>{{0, 2}, {1, 2}, {2, 2}}));
      EXPECT_EQ(lighting.size(), 5u);
      for (const auto& [value, times] : lighting) EXPECT_TRUE(times == 1 || times == 2) << value;
    }
    EXPECT_EQ(count_of(first.out, "[SIMULATION] Starting simulation for "), 8u);

    // The same sample again, resumed: nothing runs.
    const ProgramRun again = probe({"--resume"}, "out");
    ASSERT_EQ(again.exit_code, 0) << again.err;
    EXPECT_EQ(count_of(again.out, "RESUME: Skipping simulation for "), 8u);
    EXPECT_EQ(count_of(again.out, "[SIMULATION] Starting simulation for "), 0u);
    EXPECT_EQ(models_in(ws, "out", "s"), models);

    // The table lists exactly the sample, each row succeeded.
    std::vector<std::string> collect = sample;
    collect.insert(collect.end(), {"ws/input/configs/s.json", "out"});
    const ProgramRun table = test_support::run_program(kCollect, collect, ws.root());
    ASSERT_EQ(table.exit_code, 0) << table.err;
    EXPECT_NE(table.out.find("Wrote 8 rows (8 succeeded,"), std::string::npos) << table.out;
    EXPECT_EQ(table_models(ws, "out/study_s.csv"), models);

    // Two shards split the sample: disjoint, and together the whole of it.
    Names sharded;
    for (const std::string shard : {"0/2", "1/2"}) {
      const ProgramRun part = probe({"--shard", shard}, "shard_" + shard.substr(0, 1));
      ASSERT_EQ(part.exit_code, 0) << part.err;
      const Names share = models_in(ws, "shard_" + shard.substr(0, 1), "s");
      EXPECT_EQ(share.size(), 4u) << shard;
      for (const auto& model : share) EXPECT_TRUE(sharded.insert(model).second) << model;
    }
    EXPECT_EQ(sharded, models);

    // The watcher's totals are the sample's.
    const ProgramRun watched =
        test_support::run_program(kWatch, {"--once", "--json", "out"}, ws.root());
    ASSERT_EQ(watched.exit_code, 0) << watched.err;
    const auto counts = nlohmann::json::parse(watched.out)["counts"];
    EXPECT_EQ(counts["total"], 8);
    EXPECT_EQ(counts["done"], 8);
  }
}

// 20 lists of 10 values: 10^20 combinations, beyond 64 bits. A sample of it is named, recorded
// and listed with exact indices; without --sample the group fails as it always has.
TEST(EnsembleProbeSample, GroupBeyondSixtyFourBitsIsSampledWithExactIndices) {
  ProbeWorkspace ws;
  ws.param("base_json/house.json", kHouse);
  std::string lists;
  for (int k = 0; k < 20; ++k) {
    const std::string key = "k" + std::to_string(10 + k);
    lists += ", \"" + key + "\": [";
    for (int v = 0; v < 10; ++v) {
      ws.param(key + "/v" + std::to_string(v) + ".json", "{}");
      lists += std::string(v ? ", " : "") + "\"v" + std::to_string(v) + "\"";
    }
    lists += "]";
  }
  ws.config("c.json", R"({"huge": {"base_json": ["house"])" + lists + "}}");
  const std::string total = "100000000000000000000";

  const ProgramRun whole = ws.probe({"--jobs", "2", "ws/input/configs/c.json", "out"});
  EXPECT_EQ(whole.exit_code, 1);
  EXPECT_NE(whole.err.find("give more than 18446744073709551615"), std::string::npos) << whole.err;

  const std::vector<std::string> sample = {"--sample", "3", "--sample-method=balanced"};
  std::vector<std::string> words = sample;
  words.insert(words.end(), {"ws/input/configs/c.json", "sampled"});
  const ProgramRun run = ws.probe(words);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(run.out.find("[ensemble_probe] Sample: 3 of " + total +
                         " combinations of group huge (balanced, seed 1)\n"),
            std::string::npos);
  const Names models = models_in(ws, "sampled", "c");
  ASSERT_EQ(models.size(), 3u);
  const std::string log = processing_log(ws, "sampled");
  for (const std::string& model : models) {
    const std::string index = model.substr(5);
    SCOPED_TRACE(index);
    ASSERT_EQ(index.find_first_not_of("0123456789"), std::string::npos);
    ASSERT_TRUE(index.size() < total.size() || index == "0");
    EXPECT_NE(log.find(R"("model_name":")" + model + R"(","combination_index":)" + index +
                       R"(,"total_combinations":)" + total + "}"),
              std::string::npos);
  }
  EXPECT_NE(run.out.find("\"total_combinations\": " + total + ",\n  \"percentage\": "),
            std::string::npos);
  words = sample;
  words.insert(words.end(), {"ws/input/configs/c.json", "sampled"});
  const ProgramRun table = test_support::run_program(kCollect, words, ws.root());
  ASSERT_EQ(table.exit_code, 0) << table.err;
  EXPECT_EQ(table_models(ws, "sampled/study_c.csv"), models);
}

}  // namespace
}  // namespace probe_e2e

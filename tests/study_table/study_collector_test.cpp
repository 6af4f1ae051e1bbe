// The table of a synthetic output directory: every status, every metric kind, the missing
// values, error logs of several job ids, and a failed run that keeps the previous table.
#include "study_table/study_collector.h"

#include <gtest/gtest.h>

#include "common/sha256.h"
#include "native_runner/simulation_outcome.h"
#include "platform/file_system.h"
#include "support/batch_records.h"
#include "support/temp_dir.h"

namespace study_table {
namespace {

using test_support::error;

class StudyCollector : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.write("ws/input/configs/study.json", R"({
      "fabric": {"base_json": ["house"], "weather_files": ["site"], "tariff": ["t1"],
                 "walls": ["w1", "w2,thick", "w3"]},
      "heating": {"base_json": ["house"], "heat_pump": ["hp_a", "hp_b", "hp_c"]},
      "notes": "not a group"})");
  }

  // A variant file, and an outcome record for `recorded_variant` (none when empty).
  void result(const std::string& model, const std::string& group, const std::string& variant,
              const std::string& recorded_variant, const std::string& timing = "") const {
    const std::string dir = "out/result_study_" + model + "/";
    dir_.write(dir + group + ".json", variant);
    if (recorded_variant.empty()) return;
    std::string record = native_runner::render_outcome(
        native_runner::describe_simulation("study", model, recorded_variant, "site.epw", "w", {}),
        {"2026-12-06T10:00:00Z"});
    // Records written before runs were timed end at "completed_at".
    const std::size_t timed = record.find(",\n  \"duration_s\"");
    record.replace(timed, record.size() - 2 - timed, timing);
    dir_.write(dir + std::string(native_runner::kOutcomeFileName), record);
  }

  void output(const std::string& model, const std::string& file, const std::string& text) const {
    dir_.write("out/result_study_" + model + "/engine/outputs/" + file, text);
  }

  common::Result<StudyTable> collect(bool for_report = false) const {
    auto metrics = parse_metrics(R"({"metrics": [
      {"name": "heat", "file": "*__summary.csv", "row": "Space heat demand", "column": "Total"},
      {"name": "pump", "file": "*__results.csv", "column": "pump", "reduce": "sum"},
      {"name": "peak", "file": "out/summary.json", "pointer": "/peak"}]})");
    EXPECT_TRUE(metrics.has_value());
    return collect_study(native_runner::system_files(),
                         {.config_path = dir_.path() / "ws/input/configs/study.json",
                          .output_dir = dir_.path() / "out",
                          .table_path = std::nullopt,
                          .metrics = std::move(*metrics),
                          .for_report = for_report,
                          .sample = std::nullopt});
  }

  test_support::TempDir dir_;
};

TEST_F(StudyCollector, WritesOneRowPerCombinationWithItsStatusAndMetrics) {
  result("fabric_0", "fabric", "v0", "v0", ",\n  \"duration_s\": 0.512,\n  \"attempts\": 2");
  output("fabric_0", "house__summary.csv", "Summary\n,Total\nSpace heat demand,4210.5\n");
  output("fabric_0", "deep/house__results.csv", "t,pump\n,W\n0,1.5\n1,2\n");
  output("fabric_0", "out/summary.json", R"({"peak": "5 \"kW\""})");
  result("fabric_1", "fabric", "v1 changed", "v1");  // a later JSON-only batch rewrote it
  result("fabric_2", "fabric", "v2", "v2");           // an older record: no timing
  output("fabric_2", "a__summary.csv", "x");
  output("fabric_2", "b__summary.csv", "x");
  output("fabric_2", "house__results.csv", "t,pump\n0,7\n");
  result("heating_0", "heating", "h0", "");
  result("heating_1", "heating", "h1", "");
  // heating_0's last word is a failure; heating_1 failed in one shard, was skipped later in
  // another; heating_2 has no variant at all.
  dir_.write("out/logs/errors/batch_errors_native_test_shard_0_of_2.jsonl",
             error(5, "WEATHER_FILE_NOT_FOUND", "heating_0", 0, 3) +
                 error(9, "SIMULATION_FAILED", "heating_0", 0, 3) +
                 error(10, "SIMULATION_FAILED", "heating_1", 1, 3) + "{\"cut off");
  dir_.write("out/logs/errors/batch_errors_native_test_shard_1_of_2.jsonl",
             error(20, "WEATHER_FILE_NOT_FOUND", "heating_1", 1, 3));

  const auto table = collect(true);
  ASSERT_TRUE(table.has_value()) << table.error().message;
  const std::string v0 = common::sha256_hex("v0");
  EXPECT_EQ(dir_.read("out/study_study.csv"),
            "config,group,index,model_name,heat_pump,tariff,walls,weather_file,status,duration_s,"
            "attempts,variant_sha256,heat,pump,peak\r\n"
            "study,fabric,0,fabric_0,,t1,w1,site,succeeded,0.512,2," + v0 +
            ",4210.5,3.5,\"5 \"\"kW\"\"\"\r\n"
            "study,fabric,1,fabric_1,,t1,\"w2,thick\",site,stale,,," +
            common::sha256_hex("v1 changed") + ",,,\r\n"
            "study,fabric,2,fabric_2,,t1,w3,site,succeeded,,," + common::sha256_hex("v2") +
            ",,7,\r\n"
            "study,heating,0,heating_0,hp_a,,,,failed,,," + common::sha256_hex("h0") + ",,,\r\n"
            "study,heating,1,heating_1,hp_b,,,,written,,," + common::sha256_hex("h1") + ",,,\r\n"
            "study,heating,2,heating_2,hp_c,,,,not_run,,,,,,\r\n");
  EXPECT_EQ(table->rows, 6u);
  EXPECT_EQ(table->counts, (std::array<std::uint64_t, 5>{2, 1, 1, 1, 1}));
  ASSERT_EQ(table->missing.size(), 3u);
  EXPECT_EQ(table->missing[0].rows, 1u);
  EXPECT_EQ(table->missing[0].first_model, "fabric_2");
  EXPECT_EQ(table->missing[0].first_reason,
            "2 files match \"*__summary.csv\" (a__summary.csv, ...)");
  EXPECT_EQ(table->missing[1].rows, 0u);
  EXPECT_EQ(table->missing[2].first_reason, "no file matches \"out/summary.json\"");
  // The pump sums by wall: one level per value, from the succeeded rows only.
  const auto& walls = table->effects->levels(1, 2);
  ASSERT_EQ(walls.size(), 2u);
  EXPECT_EQ(walls[0].value, "w1");
  EXPECT_EQ(walls[1].value, "w3");
  EXPECT_DOUBLE_EQ(walls[1].mean(), 7.0);
  EXPECT_TRUE(table->effects->levels(1, 0).empty());  // no succeeded heating row
  EXPECT_EQ(table->first_rows.size(), 6u);
}

TEST_F(StudyCollector, AFailedRunKeepsThePreviousTable) {
  result("fabric_0", "fabric", "v0", "v0");
  ASSERT_TRUE(collect().has_value());
  const std::string previous = dir_.read("out/study_study.csv");
  dir_.write("out/result_study_fabric_1/fabric.json", "v1");
  dir_.write("out/result_study_fabric_1/simulation_outcome.json", R"({"format": 1})");
  const auto table = collect();
  ASSERT_FALSE(table.has_value());
  EXPECT_EQ(table.error().message,
            "Cannot read " + platform::path_text(dir_.path() / "out" / "result_study_fabric_1" /
                                     "simulation_outcome.json") +
                ": outcome record has no text member \"config_name\"");
  EXPECT_EQ(dir_.read("out/study_study.csv"), previous);
  EXPECT_TRUE(dir_.file_names_containing(".tmp").empty());
}

}  // namespace
}  // namespace study_table

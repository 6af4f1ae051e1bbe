// A run that fails part-way keeps everything it finished before the failure, whole and readable,
// and a failed write never damages what an earlier run left.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "support/program_runner.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using test_support::ProgramRun;
using test_support::run_program;
using test_support::run_program_with_file_limit;
using test_support::TempDir;

const std::string kProbe = ENSEMBLE_PROBE_BINARY;
const std::string kSplice = ENVELOPE_SPLICE_BINARY;
const char kConfigPath[] = "ws/input/configs/batch.json";
const char kProcessingLog[] = "out/logs/processing/batch_processing_native_test.log";

class NothingLostTest : public ::testing::Test {
 protected:
  void base(const std::string& relative, const std::string& text) const {
    dir_.write(fs::path("ws/input/batch_parameters") / relative, text);
  }
  void config(const std::string& text) const { dir_.write(kConfigPath, text); }
  bool exists(const std::string& relative) const { return fs::exists(dir_.path() / relative); }

  // Every line of a log, parsed; a line that does not parse fails the test.
  std::vector<json> log_records(const std::string& relative) const {
    const std::string text = dir_.read(relative);
    EXPECT_TRUE(text.empty() || text.back() == '\n') << "last line cut short";
    std::vector<json> records;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      records.push_back(json::parse(line, nullptr, false));
      EXPECT_FALSE(records.back().is_discarded()) << line;
    }
    return records;
  }

  std::vector<std::string> temporaries() const { return dir_.file_names_containing(".tmp-"); }

  TempDir dir_;
};

TEST_F(NothingLostTest, BatchFailingAtAMalformedParameterKeepsEarlierVariantsAndLogLines) {
  base("base_json/house.json", R"({"Tariff": {"a": 1}, "Zone": {}})");
  for (const char* value : {"t1", "t2", "t4"}) {
    base(std::string("tariff/") + value + ".json",
         R"({"Tariff": {"t": ")" + std::string(value) + R"("}})");
  }
  base("tariff/broken.json", R"({"Tariff": {"a": }})");
  config(R"({"a": {"base_json": ["house"], "tariff": ["t1", "t2"]},
             "b": {"base_json": ["house"], "tariff": ["t1", "t2", "broken", "t4"]}})");

  const ProgramRun run = run_program(kProbe, {kConfigPath, "out"}, dir_.path());
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, "[ensemble_probe] Native batch failed: expected value at line 1 column 18\n");

  const std::vector<std::pair<std::string, std::string>> written = {
      {"a_0", "t1"}, {"a_1", "t2"}, {"b_0", "t1"}, {"b_1", "t2"}};
  for (const auto& [model, value] : written) {
    const std::string group = model.substr(0, 1);
    const std::string file = "out/result_batch_" + model + "/" + group + ".json";
    const json variant = json::parse(dir_.read(file), nullptr, false);
    EXPECT_EQ(variant, json::parse(R"({"Tariff": {"a": 1, "t": ")" + value + R"("}, "Zone": {}})"))
        << file;
  }
  EXPECT_FALSE(exists("out/result_batch_b_2"));
  EXPECT_FALSE(exists("out/result_batch_b_3"));

  std::vector<std::string> events;
  for (const json& record : log_records(kProcessingLog)) {
    events.push_back(record["event_type"].get<std::string>() + " " +
                     record["model_name"].get<std::string>());
  }
  EXPECT_EQ(events, (std::vector<std::string>{
                        "BATCH_START ", "MODEL_START a_0", "JSON_ONLY_SKIP a_0", "MODEL_START a_1",
                        "JSON_ONLY_SKIP a_1", "MODEL_START b_0", "JSON_ONLY_SKIP b_0",
                        "MODEL_START b_1", "JSON_ONLY_SKIP b_1", "MODEL_START b_2"}));
  const json progress = json::parse(dir_.read("out/progress_native_test.json"), nullptr, false);
  EXPECT_EQ(progress["status_message"], "Processing model");
  EXPECT_EQ(progress["current_model_name"], "b_2");
  EXPECT_EQ(progress["current_combination"], 3);
  EXPECT_FALSE(exists("out/logs/errors"));
}

TEST_F(NothingLostTest, RerunThatCannotWriteAVariantKeepsThePreviousOne) {
  // Large enough to pass the file size limit below, which the logs and progress files stay under.
  base("base_json/house.json", R"({"Blob": ")" + std::string(300'000, 'x') + R"("})");
  base("tariff/t1.json", R"({"Tariff": {"run": 1}})");
  config(R"({"g": {"base_json": ["house"], "tariff": ["t1"]}})");
  const ProgramRun first = run_program(kProbe, {kConfigPath, "out"}, dir_.path());
  ASSERT_EQ(first.exit_code, 0) << first.err;
  const std::string variant = "out/result_batch_g_0/g.json";
  const std::string before = dir_.read(variant);

  base("tariff/t1.json", R"({"Tariff": {"run": 2}})");
  const ProgramRun second =
      run_program_with_file_limit(kProbe, {kConfigPath, "out"}, dir_.path(), 100);
  EXPECT_EQ(second.exit_code, 1);
  EXPECT_EQ(second.err, "[ensemble_probe] Native batch failed: File too large (os error 27)\n");
  EXPECT_TRUE(dir_.read(variant) == before);
  EXPECT_EQ(temporaries(), std::vector<std::string>{});
  // Four lines from the first run, two from the second, which stopped at the variant.
  EXPECT_EQ(log_records(kProcessingLog).size(), 6u);
}

TEST_F(NothingLostTest, LogLineThatCannotBeWrittenWholeIsTakenBack) {
  base("base_json/house.json", "{}");
  config(R"({"g": {"base_json": ["house"]}})");
  // Whole lines up to 40 bytes short of the limit: the next line can only go out in part.
  const std::string line =
      R"({"timestamp":"2024-01-01T00:00:00Z","job_id":"native_test","event_type":"OLD"})"
      "\n";
  std::string earlier;
  while (earlier.size() + line.size() <= 100 * 1024 - 40) earlier += line;
  earlier += std::string(100 * 1024 - 40 - earlier.size() - 1, ' ') + "\n";
  dir_.write(kProcessingLog, earlier);

  const ProgramRun run =
      run_program_with_file_limit(kProbe, {kConfigPath, "out"}, dir_.path(), 100);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, "[ensemble_probe] Native batch failed: File too large (os error 27)\n");
  EXPECT_TRUE(dir_.read(kProcessingLog) == earlier);
}

// The output may name the base model itself; a failed write must not cost the user the model.
TEST_F(NothingLostTest, EnvelopeSpliceThatCannotWriteOverItsInputKeepsIt) {
  const std::string model = R"({"Zone": {"z": {}}})";
  dir_.write("model.json", model);
  dir_.write("fabric.json", R"({"wall": {"u_value": 0.2}})");
  const ProgramRun run = run_program_with_file_limit(
      kSplice, {"model.json", "fabric.json", "model.json"}, dir_.path(), 0);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, "Error: File too large (os error 27)\n");
  EXPECT_EQ(dir_.read("model.json"), model);
  EXPECT_EQ(temporaries(), std::vector<std::string>{});
}

}  // namespace

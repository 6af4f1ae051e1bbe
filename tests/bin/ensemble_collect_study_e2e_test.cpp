// The study table of real batches: the built ensemble_probe runs them against the stand-in engine
// tests/support/study_engine_stand_in.sh, the built ensemble_collect reads what they left, and the
// table is compared whole. Between them the batches leave every status, every kind of metric and
// every reduce; the shards of one batch are read as one batch.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "bin/ensemble_probe_e2e_support.h"
#include "common/sha256.h"

namespace probe_e2e {
namespace {

const std::string kCollect = ENSEMBLE_COLLECT_BINARY;

// Two metrics share a row name and differ only by section; the time-series metrics name their
// column or give its index; "bonus_kwh" exists only where the engine was told the rate 20.
const char* const kMetrics = R"({"metrics": [
  {"name": "heat_demand", "file": "*__summary.csv", "section": "Energy Demand Summary",
   "row": "Space heat demand", "column": "Total"},
  {"name": "supply_heat", "file": "*__summary.csv", "section": "Supply Summary",
   "row": "Space heat demand", "column": "Total"},
  {"name": "import_rate", "file": "*__summary.csv", "row": "Net import", "column": 2},
  {"name": "pump_sum", "file": "*__results.csv", "column": "pump: energy", "reduce": "sum"},
  {"name": "temp_mean", "file": "*__results.csv", "column": "temp", "reduce": "mean"},
  {"name": "pump_min", "file": "*__results.csv", "column": 1, "reduce": "min"},
  {"name": "temp_max", "file": "*__results.csv", "column": "temp", "reduce": "max"},
  {"name": "pump_first", "file": "*__results.csv", "column": "pump: energy", "reduce": "first"},
  {"name": "pump_last", "file": "*__results.csv", "column": "pump: energy", "reduce": "last"},
  {"name": "pump_count", "file": "*__results.csv", "column": "pump: energy", "reduce": "count"},
  {"name": "peak", "file": "out/summary.json", "pointer": "/peak/value"},
  {"name": "bonus_kwh", "file": "out/summary.json", "pointer": "/bonus/kwh"}]})";

const std::string kHeader =
    "config,group,index,model_name,lighting,tariff,weather_file,status,duration_s,attempts,"
    "variant_sha256,heat_demand,supply_heat,import_rate,pump_sum,temp_mean,pump_min,temp_max,"
    "pump_first,pump_last,pump_count,peak,bonus_kwh";
constexpr std::size_t kDurationColumn = 8;

// The metric cells of a succeeded run, by its lighting (efficacy 100 or 120) and tariff (rate 10
// or 20): the pump column's gap and the units line are no numbers, so it counts two steps.
const std::map<std::string, std::string> kOutputs = {
    {"l1,t1", "1000,110,10.25,15.5,9.666666666666666,5.5,11,10,5.5,2,110.5,"},
    {"l1,t2", "1000,120,20.25,15.5,19.666666666666668,5.5,21,10,5.5,2,120.5,7"},
    {"l2,t1", "1200,130,10.25,18.5,9.666666666666666,6.5,11,12,6.5,2,130.5,"},
    {"l2,t2", "1200,140,20.25,18.5,19.666666666666668,6.5,21,12,6.5,2,140.5,7"},
};
const std::string kNoOutputs = ",,,,,,,,,,,";

// The tariff t3 carries the text on which the stand-in engine fails.
const std::vector<std::pair<std::string, std::string>> kParameters = {
    {"base_json/house.json", R"({"Zone": {"lounge": {"area": 20.5}}})"},
    {"lighting/l1.json", R"({"Lighting": {"efficacy": 100}})"},
    {"lighting/l2.json", R"({"Lighting": {"efficacy": 120}})"},
    {"tariff/t1.json", R"({"Tariff": {"rate": 10}})"},
    {"tariff/t2.json", R"({"Tariff": {"rate": 20}})"},
    {"tariff/t3.json", R"({"Tariff": {"rate": 30, "note": "engine-fails"}})"},
    {"weather_files/site.json", R"({"weather_file": "site.epw"})"},
    {"weather_files/site.epw", "weather"},
};

struct Step {
  std::vector<std::pair<std::string, std::string>> files;  // below the workspace, written first
  std::vector<std::string> options;
  int exit_code = 0;
};

struct Row {
  std::string cells;    // group to variant_sha256: <D> a duration, <SHA> the variant file's hash
  std::string outputs;  // the kOutputs key of a succeeded row, else empty
};

struct Scenario {
  std::string name;
  std::vector<Step> steps;
  std::vector<Row> rows;
  std::string console;  // what ensemble_collect prints
};

std::pair<std::string, std::string> config(const std::string& text) {
  return {"ws/input/configs/study.json", text};
}

const std::string kGroupG =
    R"({"g": {"base_json": ["house"], "weather_files": ["site"], "lighting": ["l1", "l2"],)";
// h_0 fails; m names a lighting file that is not there.
const std::string kGroupsHM = R"(
  "h": {"base_json": ["house"], "weather_files": ["site"], "lighting": ["l2"],
        "tariff": ["t3", "t2"]},
  "m": {"base_json": ["house"], "weather_files": ["site"], "lighting": ["l9"],
        "tariff": ["t1", "t2"]}})";

std::vector<std::string> split(const std::string& text, const std::string& separator) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  for (std::size_t next; (next = text.find(separator, at)) != std::string::npos;) {
    parts.push_back(text.substr(at, next - at));
    at = next + separator.size();
  }
  parts.push_back(text.substr(at));
  return parts;
}

// The table with each duration, which must be a number of seconds, read as <D>.
std::string mask_durations(const std::string& table) {
  static const std::regex seconds(R"(\d+(\.\d+)?(e-?\d+)?)");
  const auto lines = split(table, "\r\n");
  std::string masked;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    auto cells = split(lines[n], ",");
    if (n > 0 && cells.size() > kDurationColumn && !cells[kDurationColumn].empty()) {
      EXPECT_TRUE(std::regex_match(cells[kDurationColumn], seconds)) << lines[n];
      cells[kDurationColumn] = "<D>";
    }
    for (std::size_t i = 0; i < cells.size(); ++i) masked += (i ? "," : "") + cells[i];
    if (n + 1 < lines.size()) masked += "\r\n";
  }
  return masked;
}

std::string expected_table(const ProbeWorkspace& ws, const std::vector<Row>& rows) {
  std::string table = kHeader + "\r\n";
  for (const Row& row : rows) {
    const auto cells = split(row.cells, ",");
    std::string line = "study," + row.cells;
    if (const auto at = line.find("<SHA>"); at != std::string::npos) {
      const std::string variant = "out/result_study_" + cells[2] + "/" + cells[0] + ".json";
      line.replace(at, 5, common::sha256_hex(ws.read(variant)));
    }
    table += line + "," + (row.outputs.empty() ? kNoOutputs : kOutputs.at(row.outputs)) + "\r\n";
  }
  return table;
}


TEST(EnsembleCollectStudy, TheTableOfRealBatchesHoldsEveryStatusAndMetric) {
  const std::string sim = "--simulation", keep = "--keep-going";
  const std::vector<Scenario> kScenarios = {
      {"a failed run, a missing parameter file, then a JSON-only rerun after an edit",
       {{{config(kGroupG + R"( "tariff": ["t1", "t2"]},)" + kGroupsHM)}, {sim, keep}, 1},
        // l1 now has another efficacy, so its simulated variants are rewritten unsimulated;
        // group w is new and only ever written.
        {{{"ws/input/batch_parameters/lighting/l1.json", R"({"Lighting": {"efficacy": 105}})"},
          config(kGroupG + R"( "tariff": ["t1", "t2"]},
            "w": {"base_json": ["house"], "lighting": ["l1"], "tariff": ["t2", "t1"]},)" +
                 kGroupsHM)},
         {},
         0}},
       {{"g,0,g_0,l1,t1,site,stale,<D>,1,<SHA>", ""},
        {"g,1,g_1,l1,t2,site,stale,<D>,1,<SHA>", ""},
        {"g,2,g_2,l2,t1,site,succeeded,<D>,1,<SHA>", "l2,t1"},
        {"g,3,g_3,l2,t2,site,succeeded,<D>,1,<SHA>", "l2,t2"},
        {"h,0,h_0,l2,t3,site,failed,,,<SHA>", ""},
        {"h,1,h_1,l2,t2,site,succeeded,<D>,1,<SHA>", "l2,t2"},
        {"m,0,m_0,l9,t1,site,not_run,,,", ""},
        {"m,1,m_1,l9,t2,site,not_run,,,", ""},
        {"w,0,w_0,l1,t2,,written,,,<SHA>", ""},
        {"w,1,w_1,l1,t1,,written,,,<SHA>", ""}},
       "[ensemble_collect] Metric bonus_kwh: no value in 1 of 3 succeeded rows (first: g_2: "
       "out/summary.json: no value at /bonus/kwh)\n"
       "[ensemble_collect] Wrote 10 rows (3 succeeded, 1 failed, 2 stale, 2 written, 2 not run) "
       "to out/study_study.csv\n"},
      // Combinations 2 and 5 (l1 and l2 with t3) fail, one in each shard: only the shards' own
      // error logs tell them from variants never simulated.
      {"two shards into one output directory",
       {{{config(kGroupG + R"( "tariff": ["t1", "t2", "t3"]}})")},
         {sim, keep, "--shard", "0/2"},
         1},
        {{}, {"--shard=1/2", keep, sim}, 1}},
       {{"g,0,g_0,l1,t1,site,succeeded,<D>,1,<SHA>", "l1,t1"},
        {"g,1,g_1,l1,t2,site,succeeded,<D>,1,<SHA>", "l1,t2"},
        {"g,2,g_2,l1,t3,site,failed,,,<SHA>", ""},
        {"g,3,g_3,l2,t1,site,succeeded,<D>,1,<SHA>", "l2,t1"},
        {"g,4,g_4,l2,t2,site,succeeded,<D>,1,<SHA>", "l2,t2"},
        {"g,5,g_5,l2,t3,site,failed,,,<SHA>", ""}},
       "[ensemble_collect] Metric bonus_kwh: no value in 2 of 4 succeeded rows (first: g_0: "
       "out/summary.json: no value at /bonus/kwh)\n"
       "[ensemble_collect] Wrote 6 rows (4 succeeded, 2 failed, 0 stale, 0 written, 0 not run) "
       "to out/study_study.csv\n"},
  };
  for (const Scenario& scenario : kScenarios) {
    SCOPED_TRACE(scenario.name);
    ProbeWorkspace ws;
    ws.engine("study_engine_stand_in.sh");
    for (const auto& [path, text] : kParameters) ws.param(path, text);
    ws.file("metrics.json", kMetrics);
    for (const Step& step : scenario.steps) {
      for (const auto& [path, text] : step.files) ws.file(path, text);
      auto args = step.options;
      args.insert(args.end(), {"ws/input/configs/study.json", "out"});
      const ProgramRun run = ws.probe_with_tmp(args, "", {"STUDY_FAIL_TEXT=engine-fails"});
      ASSERT_EQ(run.exit_code, step.exit_code) << run.out << run.err;
    }

    const ProgramRun collect = test_support::run_program(
        kCollect, {"--metrics", "metrics.json", "ws/input/configs/study.json", "out"}, ws.root());

    EXPECT_EQ(collect.exit_code, 0) << collect.err;
    EXPECT_EQ(collect.err, "");
    EXPECT_EQ(collect.out, scenario.console);
    EXPECT_EQ(mask_durations(ws.read("out/study_study.csv")), expected_table(ws, scenario.rows));
  }
}

}  // namespace
}  // namespace probe_e2e

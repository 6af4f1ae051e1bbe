// Batches for the monitor's end-to-end tests: a workspace whose engine is the slow stand-in, and
// runs of the built ensemble_watch beside the built ensemble_probe.
#pragma once

#include <string>
#include <vector>

#include "bin/ensemble_probe_e2e_support.h"
#include "support/slow_engine.h"

namespace watch_e2e {

inline const std::string kWatch = ENSEMBLE_WATCH_BINARY;

// Group "g" with one combination per tariff plan; a plan named "fail-me" makes its simulation
// fail, and without --keep-going that ends the batch.
inline void write_batch(const probe_e2e::ProbeWorkspace& ws, const std::vector<std::string>& plans) {
  ws.param("base_json/house.json", probe_e2e::kHouse);
  ws.param("weather_files/site.json", R"({"weather_file": "site.epw"})");
  ws.param("weather_files/site.epw", "weather");
  std::string list;
  for (const std::string& plan : plans) {
    ws.param("tariff/" + plan + ".json", R"({"Tariff": {"plan": ")" + plan + R"("}})");
    list += (list.empty() ? "\"" : ", \"") + plan + "\"";
  }
  ws.config("batch.json", R"({"g": {"base_json": ["house"], "weather_files": ["site"],
    "tariff": [)" + list + "]}}");
  ws.file("ws/src-tauri/resources/run.sh", test_support::kSlowEngineScript);
}

inline std::string config_path(const probe_e2e::ProbeWorkspace& ws) {
  return ws.cwd() + "/ws/input/configs/batch.json";
}

// The status line without its pace, which depends on how fast this machine ran the batch.
inline std::string without_pace(const std::string& line) {
  const auto pace = line.find("; ");
  return pace == std::string::npos ? line : line.substr(0, pace);
}

}  // namespace watch_e2e

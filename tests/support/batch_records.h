// Builders for the record lines and snapshots a batch leaves in its output directory, in the
// exact compact and pretty forms the batch runner writes, for tests of the programs that read them.
#pragma once

#include <cstdint>
#include <string>

namespace test_support {

inline std::string stamp(int second) {
  // Seconds past 10:00:00 on one day, as the runner's whole-second timestamps.
  const int minutes = second / 60, seconds = second % 60;
  std::string text = "2026-12-06T10:";
  text += (minutes < 10 ? "0" : "") + std::to_string(minutes) + ":";
  text += (seconds < 10 ? "0" : "") + std::to_string(seconds) + "Z";
  return text;
}

inline std::string event(int second, const std::string& type, const std::string& model = "",
                         std::uint64_t index = 0, std::uint64_t total = 0,
                         const std::string& job = "native_test") {
  return R"({"timestamp":")" + stamp(second) + R"(","job_id":")" + job +
         R"(","config_name":"cfg","event_type":")" + type + R"(","message":"m","model_name":")" +
         model + R"(","combination_index":)" + std::to_string(index) +
         R"(,"total_combinations":)" + std::to_string(total) + "}\n";
}

inline std::string error(int second, const std::string& code, const std::string& model,
                         std::uint64_t index, std::uint64_t total,
                         const std::string& job = "native_test") {
  return R"({"timestamp":")" + stamp(second) + R"(","job_id":")" + job +
         R"(","config_name":"cfg","error_code":")" + code +
         R"(","error_message":"Simulation failed: exit \"3\"","model_name":")" + model +
         R"(","combination_index":)" + std::to_string(index) + R"(,"total_combinations":)" +
         std::to_string(total) + R"(,"additional_data":{"model_file":"m","weather_file":"w"}})" +
         "\n";
}

inline std::string progress(int second, std::uint64_t current, std::uint64_t total,
                            const std::string& name, const std::string& status,
                            const std::string& job = "native_test") {
  return "{\n  \"job_id\": \"" + job + "\",\n  \"current_combination\": " +
         std::to_string(current) + ",\n  \"total_combinations\": " + std::to_string(total) +
         ",\n  \"percentage\": 0.0,\n  \"current_model_name\": \"" + name +
         "\",\n  \"status_message\": \"" + status + "\",\n  \"timestamp\": \"" + stamp(second) +
         "\"\n}";
}

inline std::string sim_progress(int second, const std::string& model, const std::string& status,
                                const std::string& job = "native_test") {
  return "{\n  \"job_id\": \"" + job + "\",\n  \"model_name\": \"" + model +
         "\",\n  \"current_timestep\": 0,\n  \"total_timesteps\": 8760,\n  \"percentage\": 0.0,\n"
         "  \"current_month\": \"January\",\n  \"current_day\": 1,\n  \"current_hour\": 0.0,\n"
         "  \"status_message\": \"" + status + "\",\n  \"timestamp\": \"" + stamp(second) + "\"\n}";
}

}  // namespace test_support

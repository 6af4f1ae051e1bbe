#pragma once

#include <cstdint>
#include <string>

#include "common/big_count.h"
#include "json/json.h"

// The four records the batch reports through. Members are rendered in declaration order (the
// external file format), not sorted.
namespace native_runner {

struct ProgressUpdate {
  std::string job_id;
  // Exact however large a sampled group is; written as the number's digits.
  common::BigCount current_combination;
  common::BigCount total_combinations;
  double percentage = 0.0;
  std::string current_model_name;
  std::string status_message;
  std::string timestamp;
};

struct SimulationProgress {
  std::string job_id;
  std::string model_name;
  std::uint64_t current_timestep = 0;
  std::uint64_t total_timesteps = 0;
  double percentage = 0.0;
  std::string current_month;
  std::uint32_t current_day = 0;
  double current_hour = 0.0;
  std::string status_message;
  std::string timestamp;
};

struct StructuredError {
  std::string timestamp;
  std::string job_id;
  std::string config_name;
  std::string error_code;
  std::string error_message;
  std::string model_name;
  common::BigCount combination_index;
  common::BigCount total_combinations;
  json_text::Json additional_data;
};

struct ProcessingEvent {
  std::string timestamp;
  std::string job_id;
  std::string config_name;
  std::string event_type;
  std::string message;
  std::string model_name;
  common::BigCount combination_index;
  common::BigCount total_combinations;
};

std::string to_pretty_json(const ProgressUpdate& record);
std::string to_pretty_json(const SimulationProgress& record);
std::string to_compact_json(const StructuredError& record);
std::string to_compact_json(const ProcessingEvent& record);
std::string to_pretty_json(const StructuredError& record);
std::string to_pretty_json(const ProcessingEvent& record);
std::string to_compact_json(const ProgressUpdate& record);
std::string to_compact_json(const SimulationProgress& record);

}  // namespace native_runner

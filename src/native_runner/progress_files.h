#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <string_view>

#include "common/error.h"
#include "json/json.h"
#include "native_runner/progress_records.h"

namespace native_runner {

// Replaces {progress_dir}/progress_{job_id}.json in place with the pretty record, then prints
// "[PROGRESS] Writing progress to: ..." and "[PROGRESS] Progress data: ..." to `out` and emits
// the same two diagnostic events. A missing directory is an error and prints nothing.
common::Result<void> write_progress(const std::filesystem::path& progress_dir,
                                    std::string_view job_id, const ProgressUpdate& update,
                                    std::ostream& out);

// Replaces {progress_dir}/sim_progress_{job_id}.json in place; silent.
common::Result<void> write_simulation_progress(const std::filesystem::path& progress_dir,
                                               std::string_view job_id,
                                               const SimulationProgress& progress);

// Appends one compact ProcessingEvent line to {log_root}/logs/processing/batch_processing_{job_id}.log.
common::Result<void> log_processing_event(const std::filesystem::path& log_root,
                                          std::string_view job_id, std::string_view config_name,
                                          std::string_view event_type, std::string_view message,
                                          std::string_view model_name,
                                          std::uint64_t combination_index,
                                          std::uint64_t total_combinations);

// Appends one compact StructuredError line to {log_root}/logs/errors/batch_errors_{job_id}.jsonl.
common::Result<void> log_structured_error(const std::filesystem::path& log_root,
                                          std::string_view job_id, std::string_view config_name,
                                          std::string_view error_code,
                                          std::string_view error_message,
                                          std::string_view model_name,
                                          std::uint64_t combination_index,
                                          std::uint64_t total_combinations,
                                          json_text::Json additional_data);

}  // namespace native_runner

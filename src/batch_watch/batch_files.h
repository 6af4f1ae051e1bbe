#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "json/json.h"

// What the batch runner leaves in an output directory, read without writing or locking anything:
// every file is opened for reading only (shared for writing and deleting on Windows) and closed
// again at once.
namespace batch_watch {

// Everything known about one job id at one moment.
struct JobRecords {
  std::string job_id;
  std::vector<json_text::Json> events;  // processing log, complete lines in file order
  std::vector<json_text::Json> errors;  // error log, complete lines in file order
  std::optional<json_text::Json> progress;
  std::optional<json_text::Json> simulation_progress;
};

// Job ids named by "progress_{id}.json", "sim_progress_{id}.json",
// "logs/processing/batch_processing_{id}.log" and "logs/errors/batch_errors_{id}.jsonl", sorted
// and without repeats. A missing directory has none.
std::vector<std::string> find_job_ids(const std::filesystem::path& output_dir);

// Reads one job's four files; a missing, empty or half-written file reads as having nothing
// (yet). The processing log is read before the error log, so every error's combination has its
// start event in `events`.
JobRecords read_job_records(const std::filesystem::path& output_dir, const std::string& job_id);

}  // namespace batch_watch
